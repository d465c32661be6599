// The fleet screen against real runners and simulated controllers: the rows
// an inventory gives, a run to its end, one click to retry a failed row, the
// report that merges both runs, Stop, and Plan and Apply of a desired state.
#include "fleet/screens/fleetscreen.h"
#include "tests/common/files.h"
#include "tests/common/recorders.h"
#include "tests/common/simprocess.h"
#include "tests/common/testjournal.h"

#include <QCheckBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr int kRunTimeoutMs = 60000;

QString cell(const QTableWidget &table, int row, int column) { return table.item(row, column)->text(); }

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    QFile file(dir.filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? file.fileName() : QString();
}
} // namespace

class TestFleetScreen : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void versionRunAndRetry();
    void stopInterruptsTheRunningRow();
    void planAndApply();
};

void TestFleetScreen::versionRunAndRetry()
{
    // The second controller drops its first command, so only a retry reaches it.
    testing::SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--controllers"), QStringLiteral("2"), QStringLiteral("--tcp"),
                       QStringLiteral("0"), QStringLiteral("--drop-at-command"), QStringLiteral("1"),
                       QStringLiteral("--fault-on"), QStringLiteral("2")}));
    QCOMPARE(sim.tcpPorts().size(), 2);
    QTcpServer closed; // a port nothing listens on once it closes
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 unreachable = closed.serverPort();
    closed.close();
    QTemporaryDir dir;
    const QString inventory = writeFile(
        dir, QStringLiteral("site.csv"),
        QStringLiteral("name,link\ngood,tcp:127.0.0.1:%1\ndropper,tcp:127.0.0.1:%2\nabsent,tcp:127.0.0.1:%3\n")
            .arg(sim.tcpPorts().at(0))
            .arg(sim.tcpPorts().at(1))
            .arg(unreachable)
            .toUtf8());

    // The program's journal switch: off for the first run, on for the retry.
    const testing::TestJournal journal;
    bool recording = false;
    testing::Recorder recorder;
    fleet::FleetScreen screen(recorder, recorder, [&recording] { return recording; });
    recorder.nextPath = inventory;
    screen.openInventory();
    QTableWidget &table = screen.table();
    QCOMPARE(table.rowCount(), 3);
    QCOMPARE(cell(table, 1, fleet::FleetScreen::Link), QStringLiteral("tcp:127.0.0.1:%1").arg(sim.tcpPorts().at(1)));

    // The first row's states as they change: a controller being connected says so.
    QStringList seen;
    QObject::connect(&table, &QTableWidget::itemChanged, [&seen](QTableWidgetItem *item) {
        if (item->row() == 0 && item->column() == fleet::FleetScreen::State
            && seen.value(seen.size() - 1) != item->text())
            seen << item->text();
    });
    screen.setOperation(fleet::Operation::Version);
    QTest::mouseClick(screen.findChild<QPushButton *>(QStringLiteral("start")), Qt::LeftButton);
    QVERIFY(screen.running());
    QTRY_VERIFY_WITH_TIMEOUT(!screen.running(), kRunTimeoutMs);
    QCOMPARE(seen, (QStringList{"connecting", "running", "ok"}));
    const auto states = [&table] {
        QStringList rows;
        for (int r = 0; r < table.rowCount(); ++r)
            rows << cell(table, r, fleet::FleetScreen::State) + QLatin1Char(' ')
                    + cell(table, r, fleet::FleetScreen::Attempts);
        return rows.join(QLatin1Char(';'));
    };
    QCOMPARE(states(), QStringLiteral("ok 1;failed 1;failed 1"));
    QCOMPARE(cell(table, 0, fleet::FleetScreen::Status), QStringLiteral("5200 Series Controller V 02.14"));
    auto *retry = qobject_cast<QPushButton *>(table.cellWidget(1, fleet::FleetScreen::Retry));
    QVERIFY(retry->isEnabled());
    QVERIFY(!table.cellWidget(0, fleet::FleetScreen::Retry)->isEnabled());
    QVERIFY(journal.records().empty());

    recording = true;
    QTest::mouseClick(retry, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!screen.running(), kRunTimeoutMs);
    QCOMPARE(states(), QStringLiteral("ok 1;ok 2;failed 1"));
    QCOMPARE(journal.brief(), (QStringList{"started version", "ended version ok"}));
    QCOMPARE(table.selectionModel()->selectedRows().value(0).row(), 1);
    QVERIFY(recorder.messages.isEmpty());

    const QString reportPath = dir.filePath(QStringLiteral("report.json"));
    recorder.nextPath = reportPath;
    screen.saveReport();
    QFile saved(reportPath);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QJsonObject report = QJsonDocument::fromJson(saved.readAll()).object();
    QCOMPARE(report.value(QLatin1String("exit")).toInt(), 1);
    QStringList rows;
    for (const auto &v : report.value(QLatin1String("controllers")).toArray()) {
        const QJsonObject c = v.toObject();
        rows << QStringLiteral("%1 %2 %3 %4")
                    .arg(c.value(QLatin1String("name")).toString(), c.value(QLatin1String("state")).toString())
                    .arg(c.value(QLatin1String("attempts")).toInt())
                    .arg(c.value(QLatin1String("results")).toObject().value(QLatin1String("version")).toString());
    }
    QCOMPARE(rows.join(QLatin1Char(';')),
             QStringLiteral("good ok 1 5200 Series Controller V 02.14;dropper ok 2 5200 Series Controller V 02.14;"
                            "absent failed 1 "));
}

// A download against a slow (paced) controller, stopped under way: the row
// reads "interrupted", it and the saved report say the controller waits in its
// boot code, and the screen is ready for the next run. Start without the
// image is refused on the screen.
void TestFleetScreen::stopInterruptsTheRunningRow()
{
    testing::SimProcess sim;
    QVERIFY(
        sim.start({QStringLiteral("--tcp"), QStringLiteral("0"), QStringLiteral("--pace"), QStringLiteral("9600")}));
    QTemporaryDir dir;
    testing::Recorder recorder;
    fleet::FleetScreen screen(recorder, recorder);
    recorder.nextPath = writeFile(dir, QStringLiteral("site.csv"),
                                  QStringLiteral("name,link\nslow,tcp:127.0.0.1:%1\n").arg(sim.tcpPort()).toUtf8());
    screen.openInventory();
    screen.setOperation(fleet::Operation::Flash);
    auto *note = screen.findChild<QLabel *>(QStringLiteral("fleetNote"));
    screen.start();
    QVERIFY(!screen.running());
    QCOMPARE(note->text(), QStringLiteral("No file chosen: choose one with Browse… first"));
    recorder.nextPath = writeFile(dir, QStringLiteral("fw.bin"), QByteArray(4096, '\x5a'));
    screen.chooseFile();
    screen.start();
    // Past the pause after the break-in: the boot code has taken the download.
    auto *bar = qobject_cast<QProgressBar *>(screen.table().cellWidget(0, fleet::FleetScreen::Progress));
    QTRY_VERIFY_WITH_TIMEOUT(bar->value() > 0, kRunTimeoutMs);
    QTest::mouseClick(screen.findChild<QPushButton *>(QStringLiteral("stop")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!screen.running(), kRunTimeoutMs);
    const QString inBootCode = QStringLiteral("the controller waits in its boot code: run the download again");
    QCOMPARE(cell(screen.table(), 0, fleet::FleetScreen::State), QStringLiteral("interrupted"));
    QCOMPARE(cell(screen.table(), 0, fleet::FleetScreen::Status), inBootCode);
    QVERIFY(screen.findChild<QPushButton *>(QStringLiteral("start"))->isEnabled());
    QVERIFY(recorder.messages.isEmpty());

    recorder.nextPath = dir.filePath(QStringLiteral("report.json"));
    screen.saveReport();
    QCOMPARE(note->text(), QStringLiteral("Report saved to %1").arg(*recorder.nextPath));
    const QJsonObject report = QJsonDocument::fromJson(testing::readFile(*recorder.nextPath)).object();
    const QJsonValue row = report.value(QLatin1String("controllers")).toArray().at(0);
    QCOMPARE(row.toObject().value(QLatin1String("note")).toString(), inBootCode);
}

// Plan lists what each controller lacks of its access list; Apply downloads
// it where it is missing, and the rows end one per outcome. Pruning asks
// first.
void TestFleetScreen::planAndApply()
{
    QTemporaryDir dir;
    // The faulty controller refuses the download's record: its list's read
    // by Plan and again by Apply take the data records 1 to 4.
    const QByteArray state = R"({"controllers": {"1": {"ad_hoc": ["00073510001", "00073510002"]},
        "2": {"ad_hoc": ["00073510001"]}, "3": {"ad_hoc": ["00073510001"]}}})";
    testing::SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--controllers"), QStringLiteral("3"), QStringLiteral("--tcp"),
                       QStringLiteral("0"), QStringLiteral("--state"),
                       writeFile(dir, QStringLiteral("state.json"), state), QStringLiteral("--wrong-at-record"),
                       QStringLiteral("5"), QStringLiteral("--fault-on"), QStringLiteral("3")}));
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 unreachable = closed.serverPort();
    closed.close();
    QVERIFY(!writeFile(dir, QStringLiteral("ids.txt"), "73510001\r\n73510002\r\n").isEmpty());
    testing::Recorder recorder;
    fleet::FleetScreen screen(recorder, recorder);
    recorder.nextPath = writeFile(dir, QStringLiteral("site.csv"),
                                  QStringLiteral("name,link,access\ncurrent,tcp:127.0.0.1:%1,ids.txt\n"
                                                 "behind,tcp:127.0.0.1:%2,ids.txt\nfaulty,tcp:127.0.0.1:%3,ids.txt\n"
                                                 "absent,tcp:127.0.0.1:%4,ids.txt\n")
                                      .arg(sim.tcpPorts().at(0))
                                      .arg(sim.tcpPorts().at(1))
                                      .arg(sim.tcpPorts().at(2))
                                      .arg(unreachable)
                                      .toUtf8());
    screen.openInventory();
    QTableWidget &table = screen.table();
    const auto rows = [&table](int column) {
        QStringList all;
        for (int r = 0; r < table.rowCount(); ++r)
            all << cell(table, r, column);
        return all;
    };

    auto *prune = screen.findChild<QCheckBox *>(QStringLiteral("prune"));
    QVERIFY(!prune->isChecked());
    QTest::mouseClick(prune, Qt::LeftButton);
    QCOMPARE(recorder.questions.size(), 1);
    QVERIFY(!prune->isChecked());

    QTest::mouseClick(screen.findChild<QPushButton *>(QStringLiteral("plan")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!screen.running(), kRunTimeoutMs);
    QCOMPARE(rows(fleet::FleetScreen::State), (QStringList{"in state", "pending", "pending", "unreachable"}));
    QCOMPARE(cell(table, 1, fleet::FleetScreen::Status),
             QStringLiteral("access: 1 of 2 records of the file missing from the ad hoc list"));

    QStringList seen; // the second row's states and texts as Apply runs
    QObject::connect(&table, &QTableWidget::itemChanged, [&seen](QTableWidgetItem *item) {
        if (item->row() == 1 && seen.value(seen.size() - 1) != item->text())
            seen << item->text();
    });
    screen.findChild<QLineEdit *>(QStringLiteral("waves"))->setText(QStringLiteral("1,100%"));
    QTest::mouseClick(screen.findChild<QPushButton *>(QStringLiteral("apply")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!screen.running(), kRunTimeoutMs);
    QCOMPARE(rows(fleet::FleetScreen::State), (QStringList{"in state", "applied", "failed", "unreachable"}));
    QVERIFY2(seen.contains(QStringLiteral("wave 1: access running")), qPrintable(seen.join('|')));
    QVERIFY2(cell(table, 1, fleet::FleetScreen::Status).startsWith(QStringLiteral("done access; verified access")),
             qPrintable(cell(table, 1, fleet::FleetScreen::Status)));
    QVERIFY2(cell(table, 2, fleet::FleetScreen::Status).startsWith(QStringLiteral("failed access; access: ")),
             qPrintable(cell(table, 2, fleet::FleetScreen::Status)));
    QVERIFY(recorder.messages.isEmpty());

    // Waves the runner refuses: its complaint alone, not the command line's usage.
    screen.findChild<QLineEdit *>(QStringLiteral("waves"))->setText(QStringLiteral("half"));
    screen.apply();
    QTRY_VERIFY_WITH_TIMEOUT(!screen.running(), kRunTimeoutMs);
    QCOMPARE(recorder.messages.size(), 1);
    QVERIFY2(recorder.messages.at(0).startsWith(QStringLiteral("--waves")) && !recorder.messages.at(0).contains('\n'),
             qPrintable(recorder.messages.at(0)));
}

QTEST_MAIN(TestFleetScreen)
#include "tst_fleet_screen.moc"
