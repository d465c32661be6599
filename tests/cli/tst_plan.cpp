// What plan and apply decide without a controller: where waves end, when
// failures stop new starts, and what the journal says of a controller's last
// programming and downloads.
#include "cli/plan/waves.h"
#include "journal/history.h"
#include "journal/journal.h"
#include "tests/common/rows.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

using cli::plan::Amount;

class TstPlan : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void waves_data();
    void waves();
    void failureLimit_data();
    void failureLimit();
    void history_data();
    void history();
};

void TstPlan::waves_data()
{
    QTest::addColumn<QString>("waves");
    QTest::addColumn<int>("pending");
    QTest::addColumn<QString>("ends"); // where each wave ends, or "refused"
    QTest::newRow("canary, 10 %, the rest") << "1,10%,100%" << 300 << "1,30,300";
    QTest::newRow("10 % of 5 adds none") << "1,10%,100%" << 5 << "1,5";
    QTest::newRow("a share holds one at least") << "50%" << 1 << "1";
    QTest::newRow("a share rounds down") << "25%,100%" << 10 << "2,10";
    QTest::newRow("only a canary: the rest left") << "2" << 10 << "2";
    QTest::newRow("never fewer than the wave before") << "10,5,100%" << 20 << "10,20";
    QTest::newRow("more than there are") << "50" << 3 << "3";
    QTest::newRow("nothing pending") << "1,100%" << 0 << "";
    for (const char *bad : {"0", "101%", "1,,2", "x", "-1", "5 %", "%"})
        QTest::addRow("refused: %s", bad) << bad << 10 << "refused";
}

void TstPlan::waves()
{
    QFETCH(int, pending);
    QFETCH(QString, ends);
    const auto parsed = cli::plan::parseWaves(FETCHED(QString, waves));
    if (!parsed) {
        QCOMPARE(QStringLiteral("refused"), ends);
        return;
    }
    QStringList got;
    for (int end : cli::plan::waveEnds(*parsed, pending))
        got << QString::number(end);
    QCOMPARE(got.join(QLatin1Char(',')), ends);
}

void TstPlan::failureLimit_data()
{
    QTest::addColumn<QString>("limit");
    QTest::addColumn<int>("failed");
    QTest::addColumn<int>("attempted");
    QTest::addColumn<bool>("reached");
    QTest::newRow("a count, reached") << "2" << 2 << 3 << true;
    QTest::newRow("a count, not yet") << "2" << 1 << 30 << false;
    QTest::newRow("a share of fewer than ten") << "10%" << 5 << 9 << false;
    QTest::newRow("a share of ten") << "10%" << 1 << 10 << true;
    QTest::newRow("a share below it") << "50%" << 4 << 10 << false;
}

void TstPlan::failureLimit()
{
    QFETCH(QString, limit);
    const Amount amount = cli::plan::parseAmount(limit).value_or(Amount{});
    QVERIFY(amount.value > 0);
    QCOMPARE(cli::plan::failureLimitReached(amount, FETCHED(int, failed), FETCHED(int, attempted)),
             FETCHED(bool, reached));
}

void TstPlan::history_data()
{
    // Each record "OPERATION OUTCOME [lines] [boot] [other|anonymous]", the
    // outcome ok, failed, interrupted, unopened (link not opened) or started
    // (no end recorded); lines: it sent commands; boot: it left the
    // controller in its boot code; other: another controller's; anonymous:
    // no name, the controller's link.
    QTest::addColumn<QStringList>("records");
    // The places (from 1) of the programming relied on, of what made it
    // stale, of the download that left it in its boot code; - for none.
    QTest::addColumn<QString>("found");
    const auto row = [](const char *name, const QStringList &records, const char *found) {
        QTest::newRow(name) << records << found;
    };
    row("nothing", {}, "- - -");
    row("programmed", {"program ok"}, "1 - -");
    row("programmed again", {"program ok", "program ok"}, "2 - -");
    row("by its link alone", {"program ok anonymous"}, "1 - -");
    row("another controller's", {"program ok other"}, "- - -");
    row("a later run that sent commands and failed", {"program ok", "program failed lines"}, "1 2 -");
    row("a later run that sent nothing", {"program ok", "program failed"}, "1 - -");
    row("a later run never ended", {"program ok", "program started"}, "1 2 -");
    row("a download after it", {"program ok", "flash ok", "program failed lines"}, "1 2 -");
    row("a download whose link never opened", {"program ok", "bootext unopened"}, "1 - -");
    row("an interrupted download", {"program ok", "flash interrupted boot"}, "1 2 2");
    row("a download never ended", {"flash started"}, "- - 1");
    row("a download completed since", {"flash interrupted boot", "flash ok"}, "- - -");
    row("programmed since", {"flash interrupted boot", "program ok"}, "2 - -");
}

void TstPlan::history()
{
    QTemporaryDir dir;
    QString error;
    const auto journal = journal::Journal::open(dir.filePath("j.db"), journal::Journal::Access::Write, &error);
    QVERIFY2(journal, qPrintable(error));
    for (const QString &spec : FETCHED(QStringList, records)) {
        const QStringList words = spec.split(QLatin1Char(' '));
        journal::Record r;
        r.operationId = spec + QString::number(journal->records(&error).size());
        r.operation = words.at(0);
        r.controller = words.contains("anonymous") ? QString() : words.contains("other") ? "gate" : "door";
        r.link = words.contains("other") ? "tcp:gate:57" : "tcp:door:57";
        const QString &outcome = words.at(1);
        r.kind = outcome == QLatin1String("started") ? journal::kStarted : journal::kEnded;
        r.outcome = outcome == QLatin1String("unopened") ? journal::outcomeName(journal::Outcome::LinkNotOpened)
            : outcome == QLatin1String("started")        ? QString()
                                                         : outcome;
        if (r.operation == QLatin1String("program") && outcome == QLatin1String("ok"))
            r.results.insert("settings_sha256", "5e77");
        if (words.contains("lines"))
            r.results.insert("lines", QJsonArray{QJsonArray{"X001", "OK"}});
        if (words.contains("boot"))
            r.results.insert("boot_code", true);
        QVERIFY2(journal->append(r, &error), qPrintable(error));
    }
    const journal::History history(
        *journal, [](const QString &link) { return QStringList{link}; }, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const journal::ControllerHistory h = history.of("door", {"tcp:door:57"});
    const auto seq = [](const std::optional<journal::Record> &r) {
        return r ? QString::number(r->seq) : QStringLiteral("-");
    };
    QCOMPARE(QStringList({seq(h.programmed), seq(h.staleBy), seq(h.bootCode)}).join(' '), FETCHED(QString, found));
}

QTEST_GUILESS_MAIN(TstPlan)
#include "tst_plan.moc"
