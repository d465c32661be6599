// The utilities actions and the tarnic-cli commands against tarnic-sim over a
// real pseudo-terminal and real TCP: lists and schedules go down and come back
// byte for byte, and a link dropped at any record ends the transfer cleanly.
#include "core/appstate.h"
#include "link/commsettings.h"
#include "link/link.h"
#include "link/waiter.h"
#include "tests/common/liverig.h"
#include "tests/common/openfiles.h"
#include "tests/common/simprocess.h"
#include "utilities/actions.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace utilities;

namespace {

// The program's own link, connected to a running simulator.
struct LiveRig : testing::LiveRig {
    UtilitiesSettings settings;
    Actions actions{link, settings, ui, ui};

    LiveRig(testing::SimProcess &sim, bool overTcp)
    {
        applyUtilitiesDefaults(settings);
        connectTo(sim, overTcp);
    }
    Outcome run(int action, const QString &path)
    {
        ui.nextPath = path;
        return actions.click(action);
    }
};

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// count lines of IDs, ascending (the sorted list keeps them in order), each
// with a schedule when asked.
QByteArray accessFile(int count, bool withSchedule)
{
    QByteArray out;
    for (int i = 0; i < count; ++i) {
        const QByteArray id = QByteArray::number(4000000 + i * 37);
        const QByteArray schedule = QByteArray::number(i % 200 + 1).rightJustified(3, '0');
        out += (withSchedule ? schedule + id : id) + "\r\n";
    }
    return out;
}

QByteArray scheduleFile()
{
    QRandomGenerator random(1234);
    QByteArray out;
    auto two = [&](int below) { return QByteArray::number(random.bounded(below)).rightJustified(2, '0'); };
    for (int s = 1; s <= 200; ++s)
        for (int d = 1; d <= 8; ++d)
            out += QByteArray::number(s).rightJustified(3, '0') + QByteArray::number(d) + two(24) + two(60) + two(24)
                + two(60) + "\r\n";
    return out;
}

// tarnic-cli over the given link: the words of the command, then any path.
testing::CliRun cli(const QStringList &link, const char *words, const QStringList &more = {})
{
    return testing::runCli(link + QString::fromLatin1(words).split(QLatin1Char(' ')) + more);
}

const QStringList kSimArgs{QStringLiteral("--pty"), QStringLiteral("--tcp"), QStringLiteral("0")};

} // namespace

class TestE2eUtilities : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
    void linkDropped_data();
    void linkDropped();
    void hsTest();
    void cliCommands();
    void cliAccessAndSchedules();

private:
    QTemporaryDir m_dir;
};

void TestE2eUtilities::roundTrip_data()
{
    QTest::addColumn<bool>("overTcp");
    QTest::addColumn<int>("list"); // 0: ad hoc, 1: sorted, 2: schedules
    QTest::addColumn<bool>("withSchedule");
    for (const bool overTcp : {false, true}) {
        const char *link = overTcp ? "tcp" : "pty";
        for (const bool withSchedule : {false, true}) {
            const char *with = withSchedule ? " with schedule" : "";
            QTest::addRow("%s ad hoc%s", link, with) << overTcp << 0 << withSchedule;
            QTest::addRow("%s sorted%s", link, with) << overTcp << 1 << withSchedule;
        }
        QTest::addRow("%s schedules", link) << overTcp << 2 << false;
    }
}

void TestE2eUtilities::roundTrip()
{
    QFETCH(bool, overTcp);
    QFETCH(int, list);
    QFETCH(bool, withSchedule);
    testing::SimProcess sim;
    QVERIFY(sim.start(kSimArgs));
    LiveRig rig(sim, overTcp);
    QVERIFY(rig.link.isConnected());
    rig.settings.adHoc = list == 0;
    rig.settings.includesSchedule = withSchedule;
    const bool schedules = list == 2;
    const QByteArray file = schedules ? scheduleFile() : accessFile(300, withSchedule);
    const QString down = m_dir.filePath(QStringLiteral("down.txt"));
    const QString up = m_dir.filePath(QStringLiteral("up.txt"));
    QVERIFY(writeFile(down, file));
    QCOMPARE(rig.run(schedules ? DownloadSchedules : DownloadAccessList, down), Outcome::Done);
    QCOMPARE(rig.ui.status(),
             schedules ? QStringLiteral(" 1600 Records downloaded") : QStringLiteral(" 300 Records downloaded"));
    QCOMPARE(rig.run(schedules ? UploadSchedules : UploadAccessList, up), Outcome::Done);
    QCOMPARE(rig.ui.status(),
             schedules ? QStringLiteral("Schedules uploaded:  200") : QStringLiteral("Records uploaded:  300"));
    QCOMPARE(readFile(up), file);
    if (schedules)
        return;
    // The memory figures follow the list.
    const Result<MemoryUsage> memory = rig.actions.showMemoryUsage();
    QCOMPARE(memory.outcome, Outcome::Done);
    QCOMPARE(list == 0 ? memory.value.adHocUsed : memory.value.mainUsed, QStringLiteral("00300"));
}

// The controller goes away at record k of each transfer (records are counted
// over the simulator's life, and an upload finds the 20 IDs of a download
// first). The transfer ends at once with its time-out text; a download's file
// is closed; an upload keeps exactly the records before k; the same program
// then runs the transfer again against a controller that works.
void TestE2eUtilities::linkDropped_data()
{
    QTest::addColumn<bool>("overTcp");
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("record");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("linesKept"); // in the upload file
    const QString timeout = QStringLiteral("Controller timeout");
    const QString noResponse = QStringLiteral("No response from controller");
    for (const bool overTcp : {false, true}) {
        const char *link = overTcp ? "tcp" : "pty";
        for (const int k : {1, 10, 20})
            QTest::addRow("%s access download, record %d", link, k)
                << overTcp << int(DownloadAccessList) << k << timeout << 0;
        for (const int k : {1, 10, 21}) // 21: the end marker
            QTest::addRow("%s access upload, record %d", link, k)
                << overTcp << int(UploadAccessList) << 20 + k << noResponse << k - 1;
        for (const int k : {1, 800, 1600})
            QTest::addRow("%s schedule download, record %d", link, k)
                << overTcp << int(DownloadSchedules) << k << timeout << 0;
        for (const int k : {1, 100, 200})
            QTest::addRow("%s schedule upload, record %d", link, k)
                << overTcp << int(UploadSchedules) << k << noResponse << (k - 1) * 8;
    }
}

void TestE2eUtilities::linkDropped()
{
    QFETCH(bool, overTcp);
    QFETCH(int, action);
    QFETCH(int, record);
    QFETCH(QString, status);
    QFETCH(int, linesKept);
    testing::SimProcess sim;
    QVERIFY(sim.start(kSimArgs + QStringList{QStringLiteral("--drop-at-record"), QString::number(record)}));
    LiveRig rig(sim, overTcp);
    rig.settings.adHoc = true;
    const QString down = m_dir.filePath(QStringLiteral("drop-down.txt"));
    const QString up = m_dir.filePath(QStringLiteral("drop-up.txt"));
    const QByteArray ids = accessFile(20, false);
    QVERIFY(writeFile(down, action == DownloadSchedules ? scheduleFile() : ids));
    QFile::remove(up);
    if (action == UploadAccessList)
        QCOMPARE(rig.run(DownloadAccessList, down), Outcome::Done);

    const bool upload = action == UploadAccessList || action == UploadSchedules;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(rig.run(action, upload ? up : down), Outcome::Failed);
    QVERIFY2(clock.elapsed() < 3000, "ended at the loss, not at a time-out");
    QCOMPARE(rig.ui.status(), status);
    QCOMPARE(rig.link.statusCaption(), QStringLiteral("Disconnected"));
    QVERIFY(!rig.link.busy());
    QVERIFY(!testing::holdsOpen(down) && !testing::holdsOpen(up));
    if (upload) {
        const QByteArray kept = readFile(up);
        QCOMPARE(kept.count("\r\n"), linesKept);
        if (action == UploadAccessList)
            QVERIFY(ids.startsWith(kept));
    }

    testing::SimProcess again;
    QVERIFY(again.start(kSimArgs));
    QVERIFY(rig.connectTo(again, overTcp));
    QCOMPARE(rig.run(upload ? DownloadAccessList : action, down), Outcome::Done);
    if (upload)
        QCOMPARE(rig.run(action, up), Outcome::Done);
}

void TestE2eUtilities::hsTest()
{
    testing::SimProcess sim;
    QVERIFY(sim.start(kSimArgs));
    LiveRig overTcp(sim, true);
    LiveRig overPty(sim, false);
    QVERIFY(overTcp.link.isConnected() && overPty.link.isConnected());
    const Result<QString> tcp = overTcp.actions.download2();
    const Result<QString> pty = overPty.actions.download2();
    QCOMPARE(tcp.outcome, Outcome::Done);
    QCOMPARE(tcp.value, QStringLiteral("A\nok"));
    QCOMPARE(pty.outcome, Outcome::Failed);
    QCOMPARE(pty.value, QStringLiteral("HS test needs a TCP/IP link"));
}

void TestE2eUtilities::cliCommands()
{
    // A second controller in the same simulator keeps lists of its own, and
    // only it meets the fault switch.
    testing::SimProcess sim;
    QVERIFY(sim.start(kSimArgs
                      + QStringList{QStringLiteral("--controllers"), QStringLiteral("2"), QStringLiteral("--fault-on"),
                                    QStringLiteral("2"), QStringLiteral("--wrong-at-record"), QStringLiteral("1")}));
    const QStringList pty = testing::cliLinkArgs(sim, false);
    const QStringList tcp = testing::cliLinkArgs(sim, true);
    const QStringList second{QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:%1").arg(sim.tcpPorts().value(1))};
    const struct {
        const QStringList &link;
        const char *words;
        int exitCode;
        QByteArray out;
    } steps[] = {
        {pty, "id add 444", 0, "ID added\n"},
        {tcp, "id add 555", 0, "ID added\n"},
        {tcp, "memory", 0,
         "Memory data received\n        Ad Hoc  Main    Log\n"
         "Avail   19998   60000   10000\nUsed    00002   00000   00000\n"},
        {second, "id add 666", 1, "ID not added\n"},
        {second, "id add 666", 0, "ID added\n"},
        {second, "memory", 0,
         "Memory data received\n        Ad Hoc  Main    Log\n"
         "Avail   19999   60000   10000\nUsed    00001   00000   00000\n"},
        {tcp, "id delete 444", 0, "ID deleted\n"},
        {tcp, "id delete 444", 1, "ID not found\n"},
        {tcp, "time set --hours 25", 1, "Invalid hours to add/subtract\n"},
        {tcp, "time set --hours 24 --subtract", 0, "Time set\n"},
    };
    for (const auto &step : steps) {
        const auto run = cli(step.link, step.words);
        QCOMPARE(run.exitCode, step.exitCode);
        QCOMPARE(run.out, step.out);
    }
    // The clock set a day back reads a day back.
    const QByteArray shown = cli(tcp, "time get").out;
    const auto minute = [](const QDateTime &t) { return t.toString(QStringLiteral("yyyy-MM-dd HH:mm")).toLatin1(); };
    const QDateTime back = QDateTime::currentDateTime().addDays(-1);
    QVERIFY2(shown.startsWith("Time received\n" + minute(back))
                 || shown.startsWith("Time received\n" + minute(back.addSecs(-60))),
             shown.constData());
    QCOMPARE(cli(tcp, "time later").exitCode, 2);
}

void TestE2eUtilities::cliAccessAndSchedules()
{
    testing::SimProcess sim;
    QVERIFY(sim.start(kSimArgs));
    const QStringList tcp = testing::cliLinkArgs(sim, true);
    const QString down = m_dir.filePath(QStringLiteral("cli-down.txt"));
    const QString up = m_dir.filePath(QStringLiteral("cli-up.txt"));
    const QStringList sortedSchedule{QStringLiteral("--sorted"), QStringLiteral("--schedule")};
    // Sorted with schedule down the pseudo-terminal, back over TCP.
    const QByteArray file = accessFile(40, true);
    QVERIFY(writeFile(down, file));
    auto run = cli(testing::cliLinkArgs(sim, false), "access download", QStringList{down} + sortedSchedule);
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.endsWith("Downloading record:  40\n 40 Records downloaded\n"));
    QCOMPARE(cli(tcp, "access upload", QStringList{up} + sortedSchedule).exitCode, 0);
    QCOMPARE(readFile(up), file);
    QCOMPARE(cli(tcp, "access upload", {up, QStringLiteral("--bogus")}).exitCode, 2);
    QVERIFY(writeFile(down, "\r\n001108001700\r\n00110800170\r\n"));
    run = cli(tcp, "schedules download", {down});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QByteArray("Checking file - please wait\nInvalid data in file rec #  3\n"));
    QCOMPARE(cli(tcp, "schedules upload", {up}).exitCode, 0);
    QCOMPARE(readFile(up).count("\r\n"), 1600);
}

QTEST_GUILESS_MAIN(TestE2eUtilities)
#include "tst_e2e_utilities.moc"
