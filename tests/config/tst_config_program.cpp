// The programming run and the reset over the fake link on the virtual clock:
// the exchange order, where each line and error lands, the ID-size handshake
// and the refusals.
#include "config/program.h"
#include "config/settingtable.h"
#include "configtestsupport.h"
#include "defaultlines.h"

#include <QTest>

using namespace config;
using testing::RecordedPanes;
using testing::ScriptedController;

Q_DECLARE_METATYPE(config::RunOutcome)

namespace {

constexpr int kOut = 99999;

struct Bench {
    explicit Bench(bool tcp = false)
    {
        applyConfigDefaults(settings);
        if (tcp)
            rig.connectTcp();
        else
            rig.connectSerial();
        controller = std::make_unique<ScriptedController>(rig.peer());
    }
    RunOutcome run()
    {
        ProgramContext c{rig.state, rig.link, settings, panes, rig.ui};
        return do_program(c);
    }
    testing::FakeRig rig;
    Settings settings;
    RecordedPanes panes;
    std::unique_ptr<ScriptedController> controller;
};

} // namespace

class TstConfigProgram : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void wholeRun_data()
    {
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<QByteArray>("ack");
        QTest::newRow("serial") << false << QByteArray("OK");
        QTest::newRow("tcp") << true << QByteArray("OK");
        QTest::newRow("empty replies still count") << false << QByteArray();
    }

    void wholeRun()
    {
        QFETCH(QByteArray, ack);
        Bench b(FETCHED(bool, tcp));
        b.controller->ack = ack;
        const wire::Ms start = b.rig.waiter.now();
        QCOMPARE(b.run(), RunOutcome::Complete);
        const QByteArrayList defaults = testing::defaultConfigLines();
        QCOMPARE(b.controller->wakeups, 2);
        QCOMPARE(b.controller->lines, QByteArrayList({"x", "V"}) + defaults);
        // X001 to X041 on the left, X042 onwards on the right.
        QStringList left{"Checking Parameters", "Starting 430 Communications", "5200 V 02.14"};
        QStringList right;
        for (qsizetype i = 0; i < defaults.size(); ++i)
            (i < 27 ? left : right).append(QString::fromLatin1(defaults[i] + "  [" + ack + "]"));
        right << QStringLiteral(" ") << QStringLiteral("Programming Complete");
        QCOMPARE(b.panes.left.lines, left);
        QCOMPARE(b.panes.right.lines, right);
        // Each exchange is immediate here: the run never waits out a time-out.
        QVERIFY(b.rig.waiter.now() - start < wire::Ms{1000});
    }

    void stopsAtFirstMissingReply_data()
    {
        QTest::addColumn<QByteArray>("silent");
        QTest::addColumn<QStringList>("changes"); // a Max ID Size change is answered Yes
        QTest::addColumn<RunOutcome>("outcome");
        QTest::addColumn<bool>("rightPane");
        QTest::addColumn<QStringList>("lastLines");

        const auto row = [](const char *silent, RunOutcome outcome, bool right, const QStringList &last,
                            const QStringList &changes = {}) {
            QTest::newRow(silent) << QByteArray(silent) << changes << outcome << right << last;
        };
        const RunOutcome none = RunOutcome::NoReply;
        const QString z15(15, QLatin1Char('0'));
        row("x", RunOutcome::NoIdReply, false, {"Checking Parameters", "Error 000A"});
        row("V", RunOutcome::NoVersionReply, false, {"Starting 430 Communications", "Error 000"});
        row("X001", none, false, {"X0014N4N ", "Error 001"});
        row("X005", none, false, {"X0014N4N  [OK]", "X005301000 ", "Error 005"});
        row("X041", none, false, {"X040" + z15 + "  [OK]", "X041" + z15 + " ", "Error 041"});
        row("X042", none, true, {"X04200000100004 ", "Error 042"});
        row("X058", none, true, {"X0580 ", "Error 058"});
        row("X0590", none, true, {"X0590 ", "Error 059"});
        row("X0594", none, true, {"X0590  [OK]", "X0594 ", "Error 059"}, {"general.Check8(2)=1"});
        row("\\", none, true, {"\\20 ", "Error QLM001"}, {"general.Text1(2)=20"});
        row("|", none, true, {"|4 ", "Error QLM002"});
        row("\"", none, true, {"\"05 ", "Error QLM003"});
        row(":", none, true, {":1 ", "Error QLM004"});
        row("r", none, true, {"r0 ", "Error QLM005"});
        row("E", none, true, {"E3 ", "Error QLM006"});
    }

    void stopsAtFirstMissingReply()
    {
        QFETCH(QByteArray, silent);
        Bench b;
        QVERIFY(testing::applySettings(b.settings, FETCHED(QStringList, changes)));
        b.rig.ui.answers.push_back(true);
        b.controller->silentPrefix = silent;
        const wire::Ms start = b.rig.waiter.now();
        QCOMPARE(b.run(), FETCHED(RunOutcome, outcome));
        // It waited the full reply time-out once, and sent nothing after.
        QVERIFY(b.rig.waiter.now() - start >= wire::Ms{5000});
        QVERIFY(b.rig.waiter.now() - start < wire::Ms{6000});
        QVERIFY(b.controller->lines.last().startsWith(silent));
        const QStringList lastLines = FETCHED(QStringList, lastLines);
        const bool rightPane = FETCHED(bool, rightPane);
        const QStringList &pane = rightPane ? b.panes.right.lines : b.panes.left.lines;
        QCOMPARE(pane.mid(pane.size() - lastLines.size()), lastLines);
        if (!rightPane)
            QVERIFY(b.panes.right.lines.isEmpty());
        QVERIFY(!b.panes.right.lines.contains(QStringLiteral("Programming Complete")));
    }

    void idSizeHandshake_data()
    {
        // The question comes exactly when an answer is scripted; Yes sends the size, No ends the run.
        QTest::addColumn<QString>("entered");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("answer"); // -1 not asked, 0 No, 1 Yes
        QTest::newRow("equal") << "18" << QByteArray("18") << -1;
        QTest::newRow("equal, blanks and line feed") << "18" << QByteArray("\n 1 8 ") << -1;
        QTest::newRow("entered empty") << "" << QByteArray("30") << -1;
        QTest::newRow("entered 00") << "00" << QByteArray("30") << -1;
        QTest::newRow("not a number, No") << "18" << QByteArray("ERR") << 0;
        QTest::newRow("empty reply, Yes") << "18" << QByteArray("") << 1;
        QTest::newRow("differ, Yes") << "20" << QByteArray("18") << 1;
        QTest::newRow("differ, No") << "20" << QByteArray("18") << 0;
        QTest::newRow("beyond 16 bits asks") << "18" << QByteArray("65554") << 1;
    }

    void idSizeHandshake()
    {
        QFETCH(QString, entered);
        QFETCH(int, answer);
        Bench b;
        b.settings.general.Text1[2] = entered;
        b.controller->idSize = FETCHED(QByteArray, reply);
        if (answer >= 0)
            b.rig.ui.answers.push_back(answer == 1);
        QCOMPARE(b.run(), answer == 0 ? RunOutcome::Declined : RunOutcome::Complete);
        const QString question =
            QStringLiteral("ID size specified does not match id size in the controller - this will "
                           "result in clearing all controller data - Continue Y/N");
        QCOMPARE(b.rig.ui.questions, answer < 0 ? QStringList() : QStringList{question});
        const QByteArrayList &sent = b.controller->lines;
        if (answer == 0) {
            QCOMPARE(sent, (QByteArrayList{"x"}));
            QCOMPARE(b.panes.left.lines, QStringList{"Checking Parameters"});
            return;
        }
        // Sent after the levels, before the operating mode, and only on Yes.
        const auto at = sent.indexOf("|4");
        QCOMPARE(sent.at(at - 1) == "\\" + entered.toLatin1(), answer == 1);
        QCOMPARE(sent.at(at - 1 - (answer == 1)), QByteArray("X0590"));
        // The reply to "x" is never printed.
        QVERIFY(b.controller->idSize.isEmpty()
                || !b.panes.left.lines.contains(QString::fromLatin1(b.controller->idSize)));
    }

    void editsWaitForNextRun()
    {
        // Edits typed while a run is under way (an ID size, a timeout the check
        // refuses, a baud rate) reach neither the handshake nor any command: the
        // run programs what its check approved. The next run checks them.
        Bench b;
        b.controller->onLine = [&b](const QByteArray &line) {
            if (line == "x") {
                b.settings.general.Text1[2] = QStringLiteral("20");
                b.settings.barcode.Text6 = QStringLiteral("16");
                b.settings.comm430.rs232Baud = Comm430Settings::B1200;
            }
        };
        QCOMPARE(b.run(), RunOutcome::Complete);
        QCOMPARE(b.controller->lines, QByteArrayList({"x", "V"}) + testing::defaultConfigLines());
        QVERIFY(b.rig.ui.questions.isEmpty());
        QCOMPARE(b.run(), RunOutcome::CheckFailed);
        QCOMPARE(b.panes.left.lines.last(), QStringLiteral("Error - Barcode timeout must be between 2 and 15"));
    }

    void checkFailureSendsNothing()
    {
        // The check writes its warnings and its error into the cleared left pane.
        Bench b;
        b.panes.left.append(QStringLiteral("old"));
        b.panes.right.append(QStringLiteral("old"));
        b.settings.wiegand.Text1[7] = QStringLiteral("4");
        b.settings.barcode.Text6 = QStringLiteral("16");
        QCOMPARE(b.run(), RunOutcome::CheckFailed);
        QVERIFY(b.rig.peer().writes.isEmpty());
        QCOMPARE(b.panes.left.lines,
                 (QStringList{"Checking Parameters",
                              "Warning - Wie/prox format 1 - id bit length may not fit in character size",
                              "Error - Barcode timeout must be between 2 and 15"}));
        QVERIFY(b.panes.right.lines.isEmpty());
    }

    void closedLinkEndsQuietly()
    {
        Bench b;
        b.rig.link.DisconnectLink();
        QCOMPARE(b.run(), RunOutcome::SendFailed);
        QCOMPARE(b.panes.left.lines, QStringList{"Checking Parameters"});
        // The reset clears both panes first. (Its bytes on an open link are checked from the screen's button.)
        b.panes.right.append(QStringLiteral("old"));
        ProgramContext c{b.rig.state, b.rig.link, b.settings, b.panes, b.rig.ui};
        QCOMPARE(do_reset(c), ResetOutcome::SendFailed);
        QCOMPARE(b.panes.left.lines, QStringList{"Resetting Controller"});
        QVERIFY(b.panes.right.lines.isEmpty());
        QVERIFY(b.rig.ui.messages.isEmpty());
    }

    void quittingUnwindsQuietly()
    {
        Bench b;
        b.controller->silentPrefix = "X010";
        b.rig.waiter.after(wire::Ms{100}, [&b] { b.rig.waiter.requestQuit(); });
        QCOMPARE(b.run(), RunOutcome::Quit);
        QVERIFY(!b.panes.left.lines.contains(QStringLiteral("Error 010")));
        QVERIFY(b.rig.ui.messages.isEmpty());
        QVERIFY(b.rig.ui.questions.isEmpty());
    }

    void leadingNumber_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("value"); // kOut: outside 16 bits
        const QByteArray z400(400, '0');
        // clang-format off
    const QList<QPair<QByteArray, int>> rows = {
        {"18", 18}, {"", 0}, {"abc", 0}, {" 1\t2\n3", 123}, {"12a4", 12}, {"1\r2", 1}, {"-5", -5}, {"+7", 7},
        {"-", 0}, {".", 0}, {"2.5", 2}, {"3.5", 4}, {"1E2", 100}, {"18E", 18}, {"32767", 32767},
        {"-32768", -32768}, {"32768", kOut}, {"-32769", kOut}, {QByteArray(400, '9'), kOut}, {"1E999", kOut},
        {"-1E999", kOut}, {"1E-999", 0}, {"1E99999999999999999999", kOut}, {"1E-99999999999999999999", 0},
        // Beyond a double's range both ways: the first significant digit decides.
        {"0." + z400 + "1", 0}, {"-0." + z400 + "7", 0}, {QByteArray(400, '9') + "E-50", kOut},
        {"0." + z400 + "5E401", 5},
    };
        // clang-format on
        for (qsizetype i = 0; i < rows.size(); ++i)
            QTest::addRow("%lld: %s", static_cast<long long>(i), rows[i].first.left(16).toPercentEncoding().constData())
                << rows[i].first << rows[i].second;
    }

    void leadingNumber()
    {
        const int value = FETCHED(int, value);
        const auto got = leadingNumber16(FETCHED(QByteArray, text));
        if (value == kOut)
            QVERIFY(!got);
        else
            QCOMPARE(got, std::optional<qint16>(static_cast<qint16>(value)));
    }
};

QTEST_GUILESS_MAIN(TstConfigProgram)
#include "tst_config_program.moc"
