// The utilities actions and the tarnic-cli commands against tarnic-sim over a
// real pseudo-terminal and real TCP: lists and schedules go down and come back
// byte for byte.
#include "core/appstate.h"
#include "link/commsettings.h"
#include "link/link.h"
#include "link/qtserialio.h"
#include "link/qttcpio.h"
#include "link/waiter.h"
#include "tests/common/recorders.h"
#include "tests/common/simprocess.h"
#include "utilities/actions.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace utilities;

namespace {

// The program's own link, connected to a running simulator.
struct LiveRig {
    core::AppState state;
    wire::CommSettings comm;
    wire::EventLoopWaiter waiter;
    wire::QtSerialIo serial;
    wire::QtTcpIo tcp;
    testing::Recorder ui;
    wire::Link link{state, comm, waiter, ui, serial, tcp};
    UtilitiesSettings settings;
    FieldMap fields;
    Actions actions{state, link, settings, ui, fields, ui};

    LiveRig(testing::SimProcess &sim, bool overTcp)
    {
        wire::applyCommDefaults(comm, state);
        applyUtilitiesDefaults(settings);
        if (overTcp) {
            wire::selectMode(comm, state, wire::CommSettings::Mode::Tcp);
            wire::setIpText(comm, state, QStringLiteral("127.0.0.1"));
            wire::setPortText(comm, state, QString::number(sim.tcpPort()));
        } else {
            wire::selectMode(comm, state, wire::CommSettings::Mode::Serial);
            comm.device = sim.ptyPath();
        }
        link.ConnectLink();
    }
    ~LiveRig() { link.closeAll(); }
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

QStringList linkArgs(testing::SimProcess &sim, bool overTcp)
{
    return overTcp ? QStringList{QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:%1").arg(sim.tcpPort())}
                   : QStringList{QStringLiteral("--serial"), sim.ptyPath()};
}

const QStringList kSimArgs{QStringLiteral("--pty"), QStringLiteral("--tcp"), QStringLiteral("0")};

} // namespace

class TestE2eUtilities : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void accessRoundTrip_data();
    void accessRoundTrip();
    void scheduleRoundTrip_data();
    void scheduleRoundTrip();
    void faultAtRecord();
    void hsTest();
    void cliCommands();
    void cliAccessAndSchedules();

private:
    QTemporaryDir m_dir;
};

void TestE2eUtilities::accessRoundTrip_data()
{
    QTest::addColumn<bool>("overTcp");
    QTest::addColumn<bool>("adHoc");
    QTest::addColumn<bool>("withSchedule");
    for (const bool overTcp : {false, true})
        for (const bool adHoc : {true, false})
            for (const bool withSchedule : {false, true})
                QTest::addRow("%s %s%s", overTcp ? "tcp" : "pty", adHoc ? "ad hoc" : "sorted",
                              withSchedule ? " with schedule" : "")
                    << overTcp << adHoc << withSchedule;
}

void TestE2eUtilities::accessRoundTrip()
{
    QFETCH(bool, overTcp);
    QFETCH(bool, adHoc);
    QFETCH(bool, withSchedule);
    testing::SimProcess sim;
    QVERIFY(sim.start(kSimArgs));
    LiveRig rig(sim, overTcp);
    QVERIFY(rig.link.isConnected());
    rig.settings.adHoc = adHoc;
    rig.settings.includesSchedule = withSchedule;

    const QByteArray file = accessFile(300, withSchedule);
    const QString down = m_dir.filePath(QStringLiteral("down.txt"));
    const QString up = m_dir.filePath(QStringLiteral("up.txt"));
    QVERIFY(writeFile(down, file));
    QCOMPARE(rig.run(DownloadAccessList, down), Outcome::Done);
    QCOMPARE(rig.ui.status(), QStringLiteral(" 300 Records downloaded"));
    QCOMPARE(rig.run(UploadAccessList, up), Outcome::Done);
    QCOMPARE(rig.ui.status(), QStringLiteral("Records uploaded:  300"));
    QCOMPARE(readFile(up), file);

    // The memory figures follow the list.
    QCOMPARE(rig.actions.click(ShowMemoryUsage), Outcome::Done);
    QCOMPARE(rig.fields.value(adHoc ? QStringLiteral("Label1(13)") : QStringLiteral("Label1(17)")),
             QStringLiteral("00300"));
}

void TestE2eUtilities::scheduleRoundTrip_data()
{
    QTest::addColumn<bool>("overTcp");
    QTest::newRow("pty") << false;
    QTest::newRow("tcp") << true;
}

void TestE2eUtilities::scheduleRoundTrip()
{
    QFETCH(bool, overTcp);
    testing::SimProcess sim;
    QVERIFY(sim.start(kSimArgs));
    LiveRig rig(sim, overTcp);
    QVERIFY(rig.link.isConnected());
    const QByteArray file = scheduleFile();
    const QString down = m_dir.filePath(QStringLiteral("schedule.txt"));
    const QString up = m_dir.filePath(QStringLiteral("schedule-up.txt"));
    QVERIFY(writeFile(down, file));
    QCOMPARE(rig.run(DownloadSchedules, down), Outcome::Done);
    QCOMPARE(rig.ui.status(), QStringLiteral(" 1600 Records downloaded"));
    QCOMPARE(rig.run(UploadSchedules, up), Outcome::Done);
    QCOMPARE(rig.ui.status(), QStringLiteral("Schedules uploaded:  200"));
    QCOMPARE(readFile(up), file);
}

void TestE2eUtilities::faultAtRecord()
{
    testing::SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--tcp"), QStringLiteral("0"), QStringLiteral("--wrong-at-record"),
                       QStringLiteral("3"), QStringLiteral("--silent-at-record"), QStringLiteral("6")}));
    LiveRig rig(sim, true);
    QVERIFY(rig.link.isConnected());
    const QString down = m_dir.filePath(QStringLiteral("faults.txt"));
    QVERIFY(writeFile(down, accessFile(10, false)));
    QCOMPARE(rig.run(DownloadAccessList, down), Outcome::Failed);
    QCOMPARE(rig.ui.status(), QStringLiteral("Invalid response from controller 002"));
    QVERIFY(rig.ui.statuses.contains(QStringLiteral("Downloading record:  3")));
    QVERIFY(!rig.ui.statuses.contains(QStringLiteral("Downloading record:  4")));
    // Records 4 and 5 go through, the sixth meets silence.
    rig.ui.statuses.clear();
    QCOMPARE(rig.run(DownloadAccessList, down), Outcome::Failed);
    QCOMPARE(rig.ui.statuses, (QStringList{QString(), QStringLiteral("Downloading record:  1"),
                                           QStringLiteral("Downloading record:  2"),
                                           QStringLiteral("Downloading record:  3"),
                                           QStringLiteral("Controller timeout")}));
}

void TestE2eUtilities::hsTest()
{
    testing::SimProcess sim;
    QVERIFY(sim.start(kSimArgs));
    LiveRig overTcp(sim, true);
    QVERIFY(overTcp.link.isConnected());
    QCOMPARE(overTcp.actions.download2(), Outcome::Done);
    QCOMPARE(overTcp.fields.value(QStringLiteral("Text4")), QStringLiteral("A\nok"));
    LiveRig overPty(sim, false);
    QVERIFY(overPty.link.isConnected());
    QCOMPARE(overPty.actions.download2(), Outcome::Failed);
    QCOMPARE(overPty.fields.value(QStringLiteral("Text4")), QStringLiteral("HS test needs a TCP/IP link"));
}

void TestE2eUtilities::cliCommands()
{
    testing::SimProcess sim;
    QVERIFY(sim.start(kSimArgs));
    for (const bool overTcp : {false, true}) {
        const QStringList link = linkArgs(sim, overTcp);
        auto run = testing::runCli(link + QStringList{QStringLiteral("id"), QStringLiteral("add"),
                                                      overTcp ? QStringLiteral("555") : QStringLiteral("444")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QByteArray("ID added\n"));
    }
    const QStringList link = linkArgs(sim, true);
    auto run = testing::runCli(link + QStringList{QStringLiteral("memory")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QByteArray("Memory data received\n"
                                 "        Ad Hoc  Main    Log\n"
                                 "Avail   19998   60000   10000\n"
                                 "Used    00002   00000   00000\n"));
    run = testing::runCli(link + QStringList{QStringLiteral("id"), QStringLiteral("delete"), QStringLiteral("444")});
    QCOMPARE(run.out, QByteArray("ID deleted\n"));
    run = testing::runCli(link + QStringList{QStringLiteral("id"), QStringLiteral("delete"), QStringLiteral("444")});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QByteArray("ID not found\n"));

    // Setting the clock a day back shows in the next reading.
    run = testing::runCli(link + QStringList{QStringLiteral("time"), QStringLiteral("set"), QStringLiteral("--hours"),
                                             QStringLiteral("24"), QStringLiteral("--subtract")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QByteArray("Time set\n"));
    run = testing::runCli(link + QStringList{QStringLiteral("time"), QStringLiteral("get")});
    QCOMPARE(run.exitCode, 0);
    const QList<QByteArray> lines = run.out.split('\n');
    QCOMPARE(lines.value(0), QByteArray("Time received"));
    const QDateTime shown = QDateTime::fromString(QString::fromLatin1(lines.value(1)), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QVERIFY2(shown.isValid(), lines.value(1).constData());
    QVERIFY(qAbs(shown.secsTo(QDateTime::currentDateTime().addDays(-1))) < 60);

    run = testing::runCli(link + QStringList{QStringLiteral("time"), QStringLiteral("set"), QStringLiteral("--hours"),
                                             QStringLiteral("25")});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QByteArray("Invalid hours to add/subtract\n"));
    run = testing::runCli(link + QStringList{QStringLiteral("time"), QStringLiteral("later")});
    QCOMPARE(run.exitCode, 2);
}

void TestE2eUtilities::cliAccessAndSchedules()
{
    testing::SimProcess sim;
    QVERIFY(sim.start(kSimArgs));
    const QStringList pty = linkArgs(sim, false);
    const QStringList tcp = linkArgs(sim, true);
    const QString down = m_dir.filePath(QStringLiteral("cli-down.txt"));
    const QString up = m_dir.filePath(QStringLiteral("cli-up.txt"));
    // Sorted with schedule down the pseudo-terminal, back over TCP.
    const QByteArray file = accessFile(40, true);
    QVERIFY(writeFile(down, file));
    auto run = testing::runCli(pty + QStringList{QStringLiteral("access"), QStringLiteral("download"), down,
                                                 QStringLiteral("--sorted"), QStringLiteral("--schedule")});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.endsWith("Downloading record:  40\n 40 Records downloaded\n"));
    run = testing::runCli(tcp + QStringList{QStringLiteral("access"), QStringLiteral("upload"), up,
                                            QStringLiteral("--sorted"), QStringLiteral("--schedule")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(readFile(up), file);

    // A missing file: a clear word, nothing sent, a failing exit code.
    run = testing::runCli(tcp + QStringList{QStringLiteral("access"), QStringLiteral("download"),
                                            m_dir.filePath(QStringLiteral("nothing.txt"))});
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.out.contains("Cannot open file "));

    const QString sched = m_dir.filePath(QStringLiteral("cli-sched.txt"));
    QVERIFY(writeFile(sched, "\r\n001108001700\r\n00110800170\r\n"));
    run = testing::runCli(tcp + QStringList{QStringLiteral("schedules"), QStringLiteral("download"), sched});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QByteArray("Checking file - please wait\nInvalid data in file rec #  3\n"));
    run = testing::runCli(tcp + QStringList{QStringLiteral("schedules"), QStringLiteral("upload"), up});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(readFile(up).count("\r\n"), 1600);
    run = testing::runCli(tcp + QStringList{QStringLiteral("access"), QStringLiteral("upload"), up,
                                            QStringLiteral("--bogus")});
    QCOMPARE(run.exitCode, 2);
}

QTEST_GUILESS_MAIN(TestE2eUtilities)
#include "tst_e2e_utilities.moc"
