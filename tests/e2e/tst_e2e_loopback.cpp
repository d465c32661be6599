// The loopback test and the terminal pass-through against tarnic-sim over a
// real pseudo-terminal and real TCP.
#include "link/link.h"
#include "loopback/loopbacktest.h"
#include "tests/common/liverig.h"
#include "tests/common/simprocess.h"

#include <QTimer>
#include <QtTest>

namespace {} // namespace

// One clean run and one fault run over each transport: the lost controller
// over TCP here, the rest through the command line.
class TestE2eLoopback : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void controllerGoneEndsTest();
    void cliLoopback_data();
    void cliLoopback();
    void cliTerminalPassThrough();
};

void TestE2eLoopback::controllerGoneEndsTest()
{
    testing::SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--tcp"), QStringLiteral("0")}));
    testing::LiveRig l;
    QVERIFY(l.connectTo(sim, true));
    testing::Recorder progress;
    loopback::LoopbackTest test(l.state, l.link, l.ui, progress);
    QTimer::singleShot(5500, [&] { sim.process().kill(); }); // mid-run, after the 5 s settle
    QElapsedTimer t;
    t.start();
    QCOMPARE(test.run(), loopback::Outcome::LinkLost);
    QVERIFY(t.elapsed() < 8500); // ended at the loss, not after a time-out
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
    QTest::newRow("tcp, clean") << true << QStringList{} << 0
                                << QByteArray("Starting Loopback Test on tcp port\n 256: end of test\n");
    QTest::newRow("pseudo-terminal, clean")
        << false << QStringList{} << 0 << QByteArray("Starting Loopback Test on serial port\n 256: end of test\n");
    QTest::newRow("pseudo-terminal, 200 corrupted, 7 dropped")
        << false << QStringList{"--echo-corrupt", "200", "--echo-drop", "7"} << 1
        << QByteArray("Starting Loopback Test on serial port\n 8: timeout\n"
                      " 201: bad echo, expected C8 received C9\n 256: end of test\n");
}

void TestE2eLoopback::cliLoopback()
{
    QFETCH(bool, tcp);
    QFETCH(QStringList, simArgs);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    testing::SimProcess sim;
    QVERIFY(sim.start(QStringList{QStringLiteral("--pty"), QStringLiteral("--tcp"), QStringLiteral("0")} + simArgs));
    const QStringList args =
        testing::cliLinkArgs(sim, tcp) + QStringList{QStringLiteral("loopback"), QStringLiteral("--passes")};
    const auto run = testing::runCli(args + QStringList{QStringLiteral("1")});
    QCOMPARE(run.out, out);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(testing::runCli(args + QStringList{QStringLiteral("0")}).exitCode, 2);
}
void TestE2eLoopback::cliTerminalPassThrough()
{
    testing::SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--pty"), QStringLiteral("--version-text"), QStringLiteral("Sim V 1.2")}));
    QProcess p;
    p.start(qEnvironmentVariable("TARNIC_CLI"),
            testing::cliLinkArgs(sim, false)
                + QStringList{QStringLiteral("terminal"), QStringLiteral("--linger"), QStringLiteral("300")});
    QVERIFY(p.waitForStarted(5000));
    p.write("V\r");
    p.closeWriteChannel();
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(p.readAllStandardOutput(), QByteArray("Sim V 1.2\r"));
}

QTEST_GUILESS_MAIN(TestE2eLoopback)
#include "tst_e2e_loopback.moc"
