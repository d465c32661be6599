// The loopback test and the terminal pass-through against tarnic-sim over a
// real pseudo-terminal and real TCP.
#include "link/link.h"
#include "link/qtserialio.h"
#include "link/qttcpio.h"
#include "loopback/loopbacktest.h"
#include "tests/common/recorders.h"
#include "tests/common/simprocess.h"

#include <QTimer>
#include <QtTest>

namespace {

// The program's link on real transports.
struct RealLink {
    core::AppState state;
    wire::CommSettings comm;
    wire::EventLoopWaiter waiter;
    wire::QtSerialIo serial;
    wire::QtTcpIo tcp;
    testing::Recorder ui;
    wire::Link link{state, comm, waiter, ui, serial, tcp};

    bool open(const testing::SimProcess &sim, bool overTcp)
    {
        wire::applyCommDefaults(comm, state);
        if (overTcp) {
            wire::selectMode(comm, state, wire::CommSettings::Mode::Tcp);
            wire::setIpText(comm, state, QStringLiteral("127.0.0.1"));
            wire::setPortText(comm, state, QString::number(sim.tcpPort()));
        } else {
            wire::selectMode(comm, state, wire::CommSettings::Mode::Serial);
            wire::selectBaud(comm, state, 115200);
            comm.device = sim.ptyPath();
        }
        link.ConnectLink();
        return link.isConnected();
    }
};

QStringList linkArgs(const testing::SimProcess &sim, bool tcp)
{
    return tcp ? QStringList{QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:%1").arg(sim.tcpPort())}
               : QStringList{QStringLiteral("--serial"), sim.ptyPath()};
}

} // namespace

class TestE2eLoopback : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanEcho_data();
    void cleanEcho();
    void faultsListed();
    void controllerGoneEndsTest();
    void cliLoopback_data();
    void cliLoopback();
    void cliTerminalPassThrough();
};

void TestE2eLoopback::cleanEcho_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::newRow("pseudo-terminal") << false;
    QTest::newRow("tcp") << true;
}

void TestE2eLoopback::cleanEcho()
{
    QFETCH(bool, tcp);
    testing::SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--pty"), QStringLiteral("--tcp"), QStringLiteral("0")}));
    RealLink l;
    QVERIFY(l.open(sim, tcp));
    testing::Recorder progress;
    loopback::LoopbackTest test(l.state, l.link, l.ui, progress);
    QCOMPARE(test.run(3), loopback::Outcome::Completed);
    QCOMPARE(l.ui.lines, (QStringList{loopback::startLine(tcp), QStringLiteral(" 768: end of test")}));
}

void TestE2eLoopback::faultsListed()
{
    testing::SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--pty"), QStringLiteral("--echo-corrupt"), QStringLiteral("64"),
                       QStringLiteral("--echo-drop"), QStringLiteral("7")}));
    RealLink l;
    QVERIFY(l.open(sim, false));
    testing::Recorder progress;
    loopback::LoopbackTest test(l.state, l.link, l.ui, progress);
    QCOMPARE(test.run(1), loopback::Outcome::Completed);
    QCOMPARE(l.ui.lines, (QStringList{loopback::startLine(false), QStringLiteral(" 8: timeout"),
                                      QStringLiteral(" 65: bad echo, expected 40 received 41"),
                                      QStringLiteral(" 256: end of test")}));
}

void TestE2eLoopback::controllerGoneEndsTest()
{
    testing::SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--tcp"), QStringLiteral("0")}));
    RealLink l;
    QVERIFY(l.open(sim, true));
    testing::Recorder progress;
    loopback::LoopbackTest test(l.state, l.link, l.ui, progress);
    // The controller goes away in the middle of the run.
    QTimer::singleShot(5500, [&] { sim.process().kill(); });
    QElapsedTimer t;
    t.start();
    QCOMPARE(test.run(), loopback::Outcome::LinkLost);
    QVERIFY(t.elapsed() < 9000);
    QCOMPARE(l.ui.lines.size(), 3);
    QCOMPARE(l.ui.lines.at(1), QStringLiteral("Disconnected"));
    QVERIFY(l.ui.lines.at(2).endsWith(QLatin1String(": end of test")));
    QCOMPARE(l.link.statusCaption(), QStringLiteral("Disconnected"));
}

void TestE2eLoopback::cliLoopback_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::newRow("tcp clean") << true << QStringList{} << 0
                               << QByteArray("Starting Loopback Test on tcp port\n 512: end of test\n");
    QTest::newRow("pty corrupt 200") << false << QStringList{QStringLiteral("--echo-corrupt"), QStringLiteral("200")} << 1
                                     << QByteArray("Starting Loopback Test on serial port\n"
                                                   " 201: bad echo, expected C8 received C9\n"
                                                   " 457: bad echo, expected C8 received C9\n"
                                                   " 512: end of test\n");
}

void TestE2eLoopback::cliLoopback()
{
    QFETCH(bool, tcp);
    QFETCH(QStringList, simArgs);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    testing::SimProcess sim;
    QVERIFY(sim.start(QStringList{QStringLiteral("--pty"), QStringLiteral("--tcp"), QStringLiteral("0")} + simArgs));
    const auto run = testing::runCli(linkArgs(sim, tcp)
                                     + QStringList{QStringLiteral("loopback"), QStringLiteral("--passes"),
                                                   QStringLiteral("2")});
    QCOMPARE(run.out, out);
    QCOMPARE(run.exitCode, exitCode);
    const auto bad = testing::runCli(linkArgs(sim, tcp) + QStringList{QStringLiteral("loopback"),
                                                                      QStringLiteral("--passes"), QStringLiteral("0")});
    QCOMPARE(bad.exitCode, 2);
}

void TestE2eLoopback::cliTerminalPassThrough()
{
    testing::SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--pty"), QStringLiteral("--version-text"), QStringLiteral("Sim V 1.2")}));
    QProcess p;
    p.start(qEnvironmentVariable("TARNIC_CLI"),
            linkArgs(sim, false) + QStringList{QStringLiteral("terminal"), QStringLiteral("--linger"),
                                               QStringLiteral("300")});
    QVERIFY(p.waitForStarted(5000));
    p.write("V\r");
    p.closeWriteChannel();
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(p.readAllStandardOutput(), QByteArray("Sim V 1.2\r"));
}

QTEST_GUILESS_MAIN(TestE2eLoopback)
#include "tst_e2e_loopback.moc"
