// The loopback test and the terminal pass-through against tarnic-sim over a
// real pseudo-terminal and real TCP.
#include "link/link.h"
#include "loopback/loopbacktest.h"
#include "terminal/session.h"
#include "tests/common/liverig.h"
#include "tests/common/simprocess.h"
#include "tests/common/transportrows.h"

#include <QTimer>
#include <QtTest>

// The link dropped during a loopback test and in terminal mode, over each
// transport; then the rest through the command line.
class TestE2eLoopback : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void loopbackLinkDropped_data() { testing::transportRows(); }
    void loopbackLinkDropped();
    void terminalLinkDropped_data() { testing::transportRows(); }
    void terminalLinkDropped();
    void cliLoopback_data();
    void cliLoopback();
    void cliTerminalPassThrough();
};

// Dropped in the fourth pass (after the 5 s settle): the test ends at the
// loss with "Disconnected" and its end line, gives the link back, and runs
// again against a controller that works.
void TestE2eLoopback::loopbackLinkDropped()
{
    QFETCH(bool, tcp);
    testing::SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--pty"), QStringLiteral("--tcp"), QStringLiteral("0"),
                       QStringLiteral("--drop-after-bytes"), QStringLiteral("1000")}));
    testing::LiveRig l;
    QVERIFY(l.connectTo(sim, tcp));
    testing::Recorder progress;
    loopback::LoopbackTest test(l.link, l.ui, progress);
    QElapsedTimer t;
    t.start();
    QCOMPARE(test.run(), loopback::Outcome::LinkLost);
    QVERIFY(t.elapsed() < 8500); // ended at the loss, not after a time-out
    QVERIFY(test.charactersSent() < 1000);
    QCOMPARE(l.ui.lines.size(), 3);
    QCOMPARE(l.ui.lines.at(1), QStringLiteral("Disconnected"));
    QVERIFY(l.ui.lines.at(2).endsWith(QLatin1String(": end of test")));
    QCOMPARE(l.link.statusCaption(), QStringLiteral("Disconnected"));
    QVERIFY(!l.link.busy());

    testing::SimProcess again;
    QVERIFY(again.start({QStringLiteral("--pty"), QStringLiteral("--tcp"), QStringLiteral("0")}));
    QVERIFY(l.connectTo(again, tcp));
    QCOMPARE(test.run(1), loopback::Outcome::Completed);
    QCOMPARE(test.badEchoes() + test.timeouts(), 0);
}

// Dropped at the first line typed: the receive loop ends at once and gives
// the link back; entered again on a working controller, the reply shows.
void TestE2eLoopback::terminalLinkDropped()
{
    QFETCH(bool, tcp);
    testing::SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--pty"), QStringLiteral("--tcp"), QStringLiteral("0"),
                       QStringLiteral("--drop-at-command"), QStringLiteral("1")}));
    testing::LiveRig l;
    QVERIFY(l.connectTo(sim, tcp));
    terminal::Session session(l.state, l.link, l.comm, l.ui);
    const auto typeV = [&] {
        session.character('V');
        session.character('\r');
    };
    QTimer::singleShot(100, typeV);
    QElapsedTimer t;
    t.start();
    QCOMPARE(session.enter(), terminal::LoopEnd::LinkLost);
    QVERIFY(t.elapsed() < 3000);
    QCOMPARE(l.link.statusCaption(), QStringLiteral("Disconnected"));
    QVERIFY(!l.link.busy() && !session.running());

    testing::SimProcess again;
    QVERIFY(again.start({QStringLiteral("--pty"), QStringLiteral("--tcp"), QStringLiteral("0")}));
    QVERIFY(l.connectTo(again, tcp));
    QTimer::singleShot(100, typeV);
    bool shown = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (int row = 1; row <= 22; ++row)
            shown = shown || session.grid().rowText(row).contains(QLatin1String("5200 Series Controller"));
        l.state.terminalStop = shown || t.elapsed() > 10000;
    });
    poll.start(20);
    t.restart();
    QCOMPARE(session.enter(), terminal::LoopEnd::Stopped);
    QVERIFY(shown);
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
