// tarnic-cli against tarnic-sim over a real pseudo-terminal and real TCP.
#include "tests/common/simprocess.h"
#include "tests/common/slowpty.h"

#include <QTcpServer>
#include <QtTest>

class TestE2eVersion : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void versionOverEachTransport_data();
    void versionOverEachTransport();
    void silentControllerTimesOut();
    void jsonLines_data();
    void jsonLines();
    void usageErrors_data();
    void usageErrors();
    void nothingListening_data();
    void nothingListening();
    void helpAndVersion_data();
    void helpAndVersion();
    void bulkPassThrough_data();
    void bulkPassThrough();
};

void TestE2eVersion::versionOverEachTransport_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::newRow("pseudo-terminal") << false;
    QTest::newRow("tcp") << true;
}

void TestE2eVersion::versionOverEachTransport()
{
    QFETCH(bool, tcp);
    testing::SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--pty"), QStringLiteral("--tcp"), QStringLiteral("0"),
                       QStringLiteral("--version-text"), QStringLiteral("QL 5200 V 9.9")}));
    const QStringList link = testing::cliLinkArgs(sim, tcp);
    // Twice: the port is released and opens again.
    for (int i = 0; i < 2; ++i) {
        const auto run = testing::runCli(link + QStringList{QStringLiteral("version")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QByteArray("QL 5200 V 9.9\n"));
    }
}

void TestE2eVersion::silentControllerTimesOut()
{
    testing::SimProcess sim;
    QVERIFY(
        sim.start({QStringLiteral("--tcp"), QStringLiteral("0"), QStringLiteral("--silent-on"), QStringLiteral("V")}));
    const auto run = testing::runCli(
        {QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:%1").arg(sim.tcpPort()), QStringLiteral("version")});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QByteArray("No response from controller\n"));
}

void TestE2eVersion::jsonLines_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::newRow("version") << QStringList{QStringLiteral("--version-text"), QStringLiteral("QL 5200 V 9.9")}
                             << "version" << 0
                             << QByteArray(
                                    R"({"event":"line","text":"QL 5200 V 9.9"})"
                                    "\n"
                                    R"({"event":"result","exit":0,"ok":true,"results":{"version":"QL 5200 V 9.9"}})"
                                    "\n");
    QTest::newRow("silent") << QStringList{QStringLiteral("--silent-on"), QStringLiteral("V")} << "version" << 1
                            << QByteArray(R"({"event":"message","text":"No response from controller"})"
                                          "\n"
                                          R"({"event":"result","exit":1,"ok":false,"results":{}})"
                                          "\n");
    QTest::newRow("memory") << QStringList{QStringLiteral("--log-used"), QStringLiteral("7")} << "memory" << 0
                            << QByteArray(R"({"event":"status","text":"Memory data received"})"
                                          "\n"
                                          R"({"event":"line","text":"        Ad Hoc  Main    Log"})"
                                          "\n"
                                          R"({"event":"line","text":"Avail   20000   60000   09993"})"
                                          "\n"
                                          R"({"event":"line","text":"Used    00000   00000   00007"})"
                                          "\n"
                                          R"({"event":"result","exit":0,"ok":true,"results":{"memory":{)"
                                          R"("ad_hoc_available":"20000","ad_hoc_used":"00000","log_available":"09993",)"
                                          R"("log_used":"00007","main_available":"60000","main_used":"00000"}}})"
                                          "\n");
}

// --json: one object per event, the last with the exit status and what the
// command learned.
void TestE2eVersion::jsonLines()
{
    QFETCH(QStringList, simArgs);
    QFETCH(QString, command);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    testing::SimProcess sim;
    QVERIFY(sim.start(QStringList{QStringLiteral("--tcp"), QStringLiteral("0")} + simArgs));
    const auto run =
        testing::runCli(QStringList{QStringLiteral("--json")} + testing::cliLinkArgs(sim, true) + QStringList{command});
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.out, out);
}

void TestE2eVersion::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no link") << QStringList{QStringLiteral("version")};
    QTest::newRow("both links") << QStringList{QStringLiteral("--serial"), QStringLiteral("/dev/null"),
                                               QStringLiteral("--tcp"), QStringLiteral("h"), QStringLiteral("version")};
    QTest::newRow("bad baud") << QStringList{QStringLiteral("--serial"), QStringLiteral("/dev/null"),
                                             QStringLiteral("--baud"), QStringLiteral("300"),
                                             QStringLiteral("version")};
    QTest::newRow("unknown command") << QStringList{QStringLiteral("--tcp"), QStringLiteral("h"),
                                                    QStringLiteral("frobnicate")};
    QTest::newRow("bad port") << QStringList{QStringLiteral("--tcp"), QStringLiteral("h:99999"),
                                             QStringLiteral("version")};
}

void TestE2eVersion::usageErrors()
{
    QFETCH(QStringList, args);
    const auto run = testing::runCli(args);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QVERIFY(run.err.contains("usage:"));
}

void TestE2eVersion::nothingListening_data()
{
    QTest::addColumn<QStringList>("link");
    QTest::addColumn<QByteArray>("why");
    QTest::newRow("no such device") << QStringList{QStringLiteral("--serial"), QStringLiteral("/dev/does-not-exist")}
                                    << QByteArray("cannot open /dev/does-not-exist: no such device (is the adapter "
                                                  "plugged in?)\n");
    QTest::newRow("no such built-in port")
        << QStringList{QStringLiteral("--serial"), QStringLiteral("/dev/ttyS99")}
        << QByteArray("cannot open /dev/ttyS99: no such device (this computer has no such serial port)\n");
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QString refused = QStringLiteral("127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    QTest::newRow("connection refused")
        << QStringList{QStringLiteral("--tcp"), refused}
        << QStringLiteral("cannot connect to %1: connection refused (nothing listens on that port)\n")
               .arg(refused)
               .toLatin1();
}

// A link that cannot be opened has an exit status of its own and says why.
void TestE2eVersion::nothingListening()
{
    QFETCH(QStringList, link);
    QFETCH(QByteArray, why);
    const auto run = testing::runCli(link + QStringList{QStringLiteral("version")});
    QCOMPARE(run.exitCode, 3);
    QCOMPARE(run.out, QByteArray("Disconnected\n"));
    QCOMPARE(run.err, why);
}

void TestE2eVersion::helpAndVersion_data()
{
    QTest::addColumn<QString>("program"); // the variable that holds its path
    QTest::addColumn<QString>("arg");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // pattern
    const QString version = QStringLiteral("^%1 \\d+\\.\\d+\\.\\d+\\n$");
    QTest::newRow("cli help") << "TARNIC_CLI"
                              << "--help" << 0
                              << "^Usage: tarnic-cli .*\nCommands:\n  version\n.*\nOptions:\n.*\nExit status:\n.*"
                                 "  3  the link could not be opened\n  130  interrupted.*\n$";
    QTest::newRow("cli version") << "TARNIC_CLI"
                                 << "--version" << 0 << version.arg(QStringLiteral("tarnic-cli"));
    QTest::newRow("sim help") << "TARNIC_SIM"
                              << "--help" << 0 << "^Usage: tarnic-sim .*\nOptions:\n.*--pace";
    QTest::newRow("sim version") << "TARNIC_SIM"
                                 << "--version" << 0 << version.arg(QStringLiteral("tarnic-sim"));
    QTest::newRow("sim usage error") << "TARNIC_SIM"
                                     << "--frobnicate" << 2 << "^$";
    QTest::newRow("desktop help") << "TARNIC_APP"
                                  << "--help" << 0 << "^Usage: tarnic-flash-utility .*\nOptions:\n";
    QTest::newRow("desktop version") << "TARNIC_APP"
                                     << "--version" << 0 << version.arg(QStringLiteral("tarnic-flash-utility"));
}

// Answered on stdout without a display (help2man makes the manual pages from
// them at build time); a usage error says so on stderr only.
void TestE2eVersion::helpAndVersion()
{
    QFETCH(QString, program);
    QFETCH(QString, arg);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    p.setProcessEnvironment(env);
    p.start(qEnvironmentVariable(program.toLatin1().constData()), {arg});
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), exitCode);
    const QByteArray err = p.readAllStandardError();
    QCOMPARE(err.isEmpty(), exitCode == 0);
    const QString got = QString::fromLocal8Bit(p.readAllStandardOutput());
    QVERIFY2(QRegularExpression(out, QRegularExpression::DotMatchesEverythingOption).match(got).hasMatch(),
             qPrintable(got));
}

void TestE2eVersion::bulkPassThrough_data()
{
    QTest::addColumn<qsizetype>("size");
    QTest::newRow("64 KiB") << qsizetype{64} * 1024;
    QTest::newRow("1 MiB") << qsizetype{1024} * 1024;
}

// Piped input larger than the device's output buffer, to a far end that reads
// slowly: every byte arrives, in order, and the session ends cleanly.
void TestE2eVersion::bulkPassThrough()
{
    QFETCH(qsizetype, size);
    testing::SlowPtyReader far;
    const QByteArray payload = testing::bulkPayload(size);
    far.start(size);
    QProcess cli;
    cli.start(qEnvironmentVariable("TARNIC_CLI"),
              {QStringLiteral("--serial"), far.path, QStringLiteral("terminal"), QStringLiteral("--linger"),
               QStringLiteral("0")});
    QVERIFY(cli.waitForStarted(5000));
    cli.write(payload);
    cli.closeWriteChannel();
    QVERIFY(cli.waitForFinished(120000));
    QCOMPARE(cli.readAllStandardError(), QByteArray());
    QCOMPARE(cli.exitCode(), 0);
    const QByteArray got = far.received();
    QCOMPARE(got.size(), payload.size());
    QVERIFY(got == payload);
}

QTEST_GUILESS_MAIN(TestE2eVersion)
#include "tst_e2e_version.moc"
