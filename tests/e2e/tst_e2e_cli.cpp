// tarnic-cli against tarnic-sim over a real pseudo-terminal and real TCP: the
// exact texts a technician reads, the exit codes, and what reached the
// simulated controller.
#include "tests/common/files.h"
#include "tests/common/rows.h"
#include "tests/common/ser2net.h"
#include "tests/common/simprocess.h"
#include "tests/common/slowpty.h"
#include "tests/config/defaultlines.h"

#include <QDir>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <map>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

namespace {

// A simulated controller that records every byte it receives, in a folder
// of its own with the row's file, a FIFO and a folder; the words of a row's
// command line name them: LINK the link options, @NAME a file in the folder.
struct Scene {
    bool start(const QStringList &simArgs, QByteArray file)
    {
        if (!sim.start(QStringList{"--tcp", "0", "--received-log", path("received")} + simArgs))
            return false;
        file.replace("PORT", QByteArray::number(sim.tcpPort()));
        return testing::writeFile(path("file"), file) && ::mkfifo(QFile::encodeName(path("fifo")), 0600) == 0
            && QDir(dir.path()).mkdir(QStringLiteral("folder"));
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    QStringList args(const QString &command) const
    {
        QStringList args;
        for (const QString &word : command.split(QLatin1Char(' ')))
            args += word == QLatin1String("LINK")   ? testing::cliLinkArgs(sim, true)
                : word.startsWith(QLatin1Char('@')) ? QStringList{path(word.mid(1))}
                                                    : QStringList{word};
        return args;
    }
    // Nothing but wake-ups reached the controller.
    bool sentNothing() const
    {
        return testing::readFile(path("received")).count('\r') == QFileInfo(path("received")).size();
    }

    QTemporaryDir dir;
    testing::SimProcess sim;
};

// A controller and an inventory that names it.
const QByteArray kSite = "name,link\nd1,tcp:127.0.0.1:PORT\n";

// What a run on the start-up defaults prints.
QByteArray defaultRunOut()
{
    QByteArray out = "Checking Parameters\nStarting 430 Communications\n5200 Series Controller V 02.14\n";
    for (const QByteArray &c : testing::defaultConfigLines())
        out += c + "  [OK]\n";
    return out + " \nProgramming Complete\n";
}

} // namespace

class TstE2eCli : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void commands_data();
    void commands();
    void deviceServerRate_data();
    void deviceServerRate();
    void withoutController_data();
    void withoutController();
    void profileRun_data();
    void profileRun();
    void simState_data();
    void simState();
    void bulkPassThrough();
    void fileWrites_data();
    void fileWrites();
    void hostileInputs_data();
    void hostileInputs();
    void interruptedWait_data();
    void interruptedWait();

private:
    QTemporaryDir m_dir;
};

void TstE2eCli::commands_data()
{
    // Named before the colon of the row's name: "pty", "tcp", "rfc2217"
    // (ser2net's telnet accepter before the pseudo-terminal) or "raw" (its
    // raw accepter, spoken to with --rfc2217).
    QTest::addColumn<QString>("link");
    QTest::addColumn<QStringList>("simArgs");
    // FILE in the commands, and their stdin; an image or upload must come back equal.
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("exitCodes");
    // All the commands' standard output; a link that would not open tells
    // why on stderr, which follows. SERVER stands for the device server's
    // address and port.
    QTest::addColumn<QByteArray>("out");
    // A usage error is told on stderr; nothing else is (no progress display
    // where stdout is not a terminal). Where every command fails, no
    // configuration reaches the controller.
    // The simulator's arguments split at '|', the commands at ';'.
    const auto row = [](const char *name, const QString &simArgs, const QByteArray &file, const QString &commands,
                        const char *exitCodes, const QByteArray &out) {
        QTest::newRow(name) << QString::fromLatin1(name).section(u':', 0, 0) << simArgs.split(u'|', Qt::SkipEmptyParts)
                            << file << commands.split(u';') << QString::fromLatin1(exitCodes) << out;
    };
    const QByteArray memory = "Memory data received\n        Ad Hoc  Main    Log\n";
    row("pty: version twice, an ID", "--version-text|QL 5200 V 9.9", {}, "version;id add 444;memory;version", "0 0 0 0",
        "QL 5200 V 9.9\nID added\n" + memory
            + "Avail   19999   60000   10000\nUsed    00001   00000   00000\nQL 5200 V 9.9\n");
    row("tcp: silent", "--silent-on|V", {}, "version", "1", "No response from controller\n");
    row("tcp: a reply with a line feed", "--version-text|QL 5200\nd2: ok", {}, "version", "0", "QL 5200\\x0ad2: ok\n");
    // --json: one object per event, the last with the exit status and what the command learned.
    row("tcp: json, an ID refused once, time", "--version-text|QL 5200 V 9.9|--log-used|7|--wrong-at-record|1", {},
        "--json version;--json memory;--json id add 666;id add 666;id delete 666;id delete 666;time set --hours 25;"
        "time set --hours 24 --subtract",
        "0 0 1 0 0 1 1 0",
        R"({"event":"line","text":"QL 5200 V 9.9"}
{"event":"result","exit":0,"ok":true,"results":{"version":"QL 5200 V 9.9"}}
{"event":"status","text":"Memory data received"}
{"event":"line","text":"        Ad Hoc  Main    Log"}
{"event":"line","text":"Avail   20000   60000   09993"}
{"event":"line","text":"Used    00000   00000   00007"}
{"event":"result","exit":0,"ok":true,"results":{"memory":{"ad_hoc_available":"20000","ad_hoc_used":"00000",)"
        R"("log_available":"09993","log_used":"00007","main_available":"60000","main_used":"00000"}}}
{"event":"status","text":"ID not added"}
{"event":"result","exit":1,"message":"ID not added","ok":false,"results":{}}
)"
        "ID added\nID deleted\nID not found\nInvalid hours to add/subtract\nTime set\n");
    row("pty: access list", {}, "0014000000\r\n0024000037\r\n",
        "access download FILE --sorted --schedule;access upload UP --sorted --schedule", "0 0",
        "\nDownloading record:  1\nDownloading record:  2\n 2 Records downloaded\nRecords uploaded:  1\n"
        "Records uploaded:  2\n");
    row("tcp: schedules, bad file", {}, "\r\n001108001700\r\n00110800170\r\n", "schedules download FILE", "1",
        "Checking file - please wait\nInvalid data in file rec #  3\n");
    row("pty: loopback, 200 corrupted, 7 dropped", "--echo-corrupt|200|--echo-drop|7", {}, "loopback --passes 1", "1",
        "Starting Loopback Test on serial port\n 8: timeout\n 201: bad echo, expected C8 received C9\n"
        " 256: end of test\n");
    row("pty: program, reset", {}, {}, "program;reset", "0 0",
        defaultRunOut() + "Resetting Controller\nReset Complete\n");
    // Unanswered when stdin is not a terminal.
    const QString idSize = QStringLiteral("program --set general.Text1(2)=20 --set=general.Option1(2)=1");
    const QByteArray refused = "Checking Parameters\nID size specified does not match id size in the controller - "
                               "this will result in clearing all controller data - Continue Y/N\nNo\n";
    row("tcp: ID size refused, unanswered", "--id-size|18", {}, idSize + " --no;" + idSize, "1 1", refused + refused);
    row("tcp: usage errors", {}, {},
        "frobnicate;program --set general.Text9=1;program --set;program --set general.Check2;"
        "program --set general.beep=1;program --yes --no;program now;reset now;"
        "program --profile /nonexistent/site.tfp;program --profile a.tfp --profile=b.tfp;"
        "time later;access upload up.txt --bogus;loopback --passes 0",
        "2 2 2 2 2 2 2 2 2 2 2 2 2", {});
    // Serial extension blocks hold 32 bytes, flash blocks 50.
    const auto progress = [](const char *percents) {
        QByteArray out = "Preparing to Download Flash\n";
        for (const QByteArray &p : QByteArray(percents).split(' '))
            out += "Downloading - " + p + " % complete\n";
        return out;
    };
    row("pty: bootext, after two refusals", {}, testing::bulkPayload(70),
        "--baud 19200 flash FILE;bootext /nonexistent/fw.bin;bootext FILE", "1 1 0",
        "Controller must be programmed to 9600 baud before reflashing\nPreparing to Download Flash\n"
        "Cannot read the image file /nonexistent/fw.bin: No such file or directory\n"
            + progress("46 91") + "Download complete\n");
    // The retry meets the boot code the dropped attempt left running.
    row("tcp: flash, retried after a drop", "--boot-drop-mid|3", testing::bulkPayload(245), "flash FILE;flash FILE",
        "1 0", progress("25 50") + "Download Error\n" + progress("25 50 75 99 100") + "Download complete\n");
    // Through a device server: the serial line's rules, the rate asked of
    // the server. The image is full of the Telnet escape byte, doubled on the
    // way and single at the controller.
    row("rfc2217: version, program, an access list", {}, "0014000000\r\n0024000037\r\n",
        "version;program;access download FILE --sorted --schedule;access upload UP --sorted --schedule", "0 0 0 0",
        "5200 Series Controller V 02.14\n" + defaultRunOut()
            + "\nDownloading record:  1\nDownloading record:  2\n 2 Records downloaded\nRecords uploaded:  1\n"
              "Records uploaded:  2\n");
    row("rfc2217: flash at 9600 only, escape bytes, bootext, loopback", {},
        QByteArray::fromHex("fffffaff2cfff0fffb01").repeated(15) + QByteArray(100, '\xff'),
        "--baud 19200 flash FILE;flash FILE;bootext FILE;loopback --passes 1", "1 0 0 0",
        "Controller must be programmed to 9600 baud before reflashing\n" + progress("24 49 73 97 100")
            + "Download complete\n" + progress("13 26 38 51 64 77 90") + "Download complete\n"
            + "Starting Loopback Test on serial port\n 256: end of test\n");
    row("raw: --rfc2217 on a raw port", {}, {}, "version", "3",
        "Disconnected\nSERVER does not speak RFC 2217: set the port to telnet/RFC 2217 mode, or use --tcp\n");
}

// The commands in turn against one simulator.
void TstE2eCli::commands()
{
    QFETCH(QString, link);
    QFETCH(QByteArray, file);
    QFETCH(QString, exitCodes);
    QFETCH(QByteArray, out);
    const QString path = m_dir.filePath(QStringLiteral("file"));
    const QString up = m_dir.filePath(QStringLiteral("up"));
    const QString saved = m_dir.filePath(QStringLiteral("saved"));
    QFile::remove(up);
    QFile::remove(saved);
    QVERIFY(testing::writeFile(path, file));
    testing::SimProcess sim;
    const QString log = m_dir.filePath(QStringLiteral("config.log"));
    QFile::remove(log);
    QVERIFY(sim.start(QStringList{"--pty", "--tcp", "0", "--save-image", saved, "--config-log", log}
                      + FETCHED(QStringList, simArgs)));
    testing::Ser2net server;
    QStringList linkArgs = testing::cliLinkArgs(sim, link == u"tcp");
    if (link == u"rfc2217" || link == u"raw") {
        QString error;
        QVERIFY2(server.start(sim.ptyPath(), &error), qPrintable(error));
        const QString address =
            QStringLiteral("127.0.0.1:%1").arg(link == u"raw" ? server.rawPort() : server.rfc2217Port());
        linkArgs = QStringList{QStringLiteral("--rfc2217"), address};
        out.replace("SERVER", address.toLatin1());
    }
    QStringList codes;
    QByteArray got;
    for (QString command : FETCHED(QStringList, commands)) {
        command.replace(QLatin1String("FILE"), path).replace(QLatin1String("UP"), up);
        const testing::CliRun run = testing::runCli(linkArgs + command.split(QLatin1Char(' ')), 30000, file);
        codes << QString::number(run.exitCode);
        got += run.out;
        const bool noLink = run.exitCode == 3;
        if (noLink)
            got += run.err;
        QCOMPARE(run.err.isEmpty(), run.exitCode != 2 && !noLink);
    }
    QCOMPARE(got, out);
    QCOMPARE(codes.join(QLatin1Char(' ')), exitCodes);
    if (!codes.contains(QStringLiteral("0")))
        QVERIFY(!testing::readFile(log).contains("X001"));
    if (QFile::exists(saved))
        QCOMPARE(testing::readFile(saved), file);
    if (QFile::exists(up))
        QCOMPARE(testing::readFile(up), file);
}

void TstE2eCli::deviceServerRate_data()
{
    QTest::addColumn<int>("baud");
    QTest::newRow("19200") << 19200;
    QTest::newRow("115200") << 115200;
}

// The rate given with --rfc2217 is the one the line behind the server runs
// at while the link is open (the server puts its own back after).
void TstE2eCli::deviceServerRate()
{
    QFETCH(int, baud);
    testing::SimProcess sim;
    testing::Ser2net server;
    QString error;
    QVERIFY(sim.start({"--pty"}));
    QVERIFY2(server.start(sim.ptyPath(), &error), qPrintable(error));
    QProcess cli;
    cli.start(qEnvironmentVariable("TARNIC_CLI"),
              {"--rfc2217", QStringLiteral("127.0.0.1:%1").arg(server.rfc2217Port()), "--baud", QString::number(baud),
               "terminal", "--linger", "20000"});
    cli.closeWriteChannel();
    QTRY_COMPARE_WITH_TIMEOUT(testing::lineSpeed(sim.ptyPath()), baud, 20000);
    cli.terminate();
    QVERIFY(cli.waitForFinished(10000));
}

void TstE2eCli::withoutController_data()
{
    QTest::addColumn<QString>("program"); // the variable that holds its path
    QTest::addColumn<QString>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // patterns
    QTest::addColumn<QString>("err");
    const auto exact = [](const QString &text) { return '^' + QRegularExpression::escape(text) + '$'; };
    // Help and version are answered on stdout without a display: help2man
    // makes the manual pages from them at build time.
    const QString version = QStringLiteral("^%1 \\d+\\.\\d+\\.\\d+\\n$");
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QString refused = QStringLiteral("127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    const QString disconnected = exact(QStringLiteral("Disconnected\n"));
    const QString usage = QStringLiteral("\nusage: ");
    const auto row = [](const char *name, const char *program, const QString &args, int exitCode, const QString &out,
                        const QString &err) { QTest::newRow(name) << program << args << exitCode << out << err; };
    row("cli help", "TARNIC_CLI", "--help", 0,
        "^Usage: tarnic-cli .*\nCommands:\n  version\n.*\nOptions:\n.*\nExit status:\n.*"
        "  3  the link could not be opened\n  4  plan: changes are pending.*\n  130  interrupted.*\n$",
        "^$");
    row("cli version", "TARNIC_CLI", "--version", 0, version.arg(QStringLiteral("tarnic-cli")), "^$");
    row("sim help", "TARNIC_SIM", "--help", 0, "^Usage: tarnic-sim .*\nOptions:\n.*--pace", "^$");
    row("sim version", "TARNIC_SIM", "--version", 0, version.arg(QStringLiteral("tarnic-sim")), "^$");
    row("sim usage error", "TARNIC_SIM", "--frobnicate", 2, "^$", "Unknown option 'frobnicate'");
    row("sim state file missing", "TARNIC_SIM", "--tcp 0 --state /nonexistent/state.json", 2, "^$",
        exact(QStringLiteral("tarnic-sim: /nonexistent/state.json: No such file or directory\n")));
    row("desktop help", "TARNIC_APP", "--help", 0, "^Usage: tarnic-flash-utility .*\nOptions:\n", "^$");
    row("desktop version", "TARNIC_APP", "--version", 0, version.arg(QStringLiteral("tarnic-flash-utility")), "^$");
    // 339 lines.
    row("cli settings", "TARNIC_CLI", "settings", 0,
        "^(?=([^\n]*\n){339}$)general.reader\twiegand\\+magstripe\tgeneral\tReader Settings\n"
        ".*\ngeneral.max_id_size\t18\tgeneral\tStand Alone Settings / Max ID Size\n"
        ".*\nbarcode.row3.xb\ton\tbarcode\trow 3 \\(not shown\\) / XB\n"
        ".*\ncomm430.rs232.baud\t9600\tcomm430\tRS232 Port Settings / Baud Rate\n"
        ".*\ncomm430.rs422.parity\t8_no_parity\tcomm430\tRS422 Port Settings / Parity\n$",
        "^$");
    row("no link", "TARNIC_CLI", "version", 2, "^$", usage);
    row("two links", "TARNIC_CLI", "--serial /dev/null --tcp h version", 2, "^$", usage);
    row("bad baud", "TARNIC_CLI", "--serial /dev/null --baud 300 version", 2, "^$", usage);
    row("bad port", "TARNIC_CLI", "--tcp h:99999 version", 2, "^$", usage);
    row("device server without a port", "TARNIC_CLI", "--rfc2217 h version", 2, "^$",
        "^--rfc2217 takes HOST:PORT \\(the device server's port for the line\\)\n");
    row("settings, stray argument", "TARNIC_CLI", "settings now", 2, "^$",
        exact(QStringLiteral("settings: unexpected argument now\n")));
    row("settings diff, no such file", "TARNIC_CLI", "settings --diff /nonexistent/a.tfp /nonexistent/b.tfp", 2, "^$",
        exact(QStringLiteral("/nonexistent/a.tfp: No such file or directory\n")));
    // A link that cannot be opened has an exit status of its own and says why.
    row("no such device", "TARNIC_CLI", "--serial /dev/does-not-exist version", 3, disconnected,
        exact(QStringLiteral("cannot open /dev/does-not-exist: no such device (is the adapter plugged in?)\n")));
    row("connection refused", "TARNIC_CLI", "--tcp " + refused + " version", 3, disconnected,
        exact("cannot connect to " + refused + ": connection refused (nothing listens on that port)\n"));
}

void TstE2eCli::withoutController()
{
    QFETCH(int, exitCode);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    p.setProcessEnvironment(env);
    p.start(qEnvironmentVariable(FETCHED(QString, program).toLatin1().constData()),
            FETCHED(QString, args).split(QLatin1Char(' ')));
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), exitCode);
    const QString got[2] = {QString::fromLocal8Bit(p.readAllStandardOutput()),
                            QString::fromLocal8Bit(p.readAllStandardError())};
    const QString patterns[2] = {FETCHED(QString, out), FETCHED(QString, err)};
    for (int i = 0; i < 2; ++i)
        QVERIFY2(
            QRegularExpression(patterns[i], QRegularExpression::DotMatchesEverythingOption).match(got[i]).hasMatch(),
            qPrintable(got[i]));
}

void TstE2eCli::profileRun_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<QStringList>("typed"); // program --set ...
    QTest::addColumn<QStringList>("saved"); // settings --set ... --save
    QTest::addColumn<QStringList>("onTop"); // program --profile ... --set ...
    const QStringList everyScreen{"general.Text5(4)=10", "wiegand.Text1(5)=12", "barcode.Text6=05",
                                  "comm430.Option2(0)=1", "comm430.Option3(1)=1"};
    QTest::newRow("pty: one on every screen") << false << everyScreen << everyScreen << QStringList{};
    QTest::newRow("tcp: keys, a change on top")
        << true << QStringList{"general.Option13=1", "barcode.Text6=05"} << QStringList{"general.reader=barcode"}
        << QStringList{"barcode.timeout=05"};
}

// The run from a saved profile sends what the same changes typed send, and
// its record names the link and opens as the profile it programmed.
void TstE2eCli::profileRun()
{
    QFETCH(bool, tcp);
    QFETCH(QStringList, onTop);
    const auto withSets = [](const QStringList &args, QStringList sets) {
        return args + sets.replaceInStrings(QRegularExpression(QStringLiteral("^")), QStringLiteral("--set="));
    };
    const QTemporaryDir dir;
    const QString profile = dir.filePath("site.tfp");
    const QString records = dir.filePath("records");
    const QString log = dir.filePath("config.log");
    QCOMPARE(testing::runCli(withSets({"settings", "--save", profile}, FETCHED(QStringList, saved))).exitCode, 0);
    const QStringList runs[2] = {withSets({"program"}, FETCHED(QStringList, typed)),
                                 withSets({"program", "--profile", profile, "--record", records}, onTop)};
    QByteArray sent[2];
    QByteArray kept[2];
    QString link;
    for (int i = 0; i < 2; ++i) {
        testing::SimProcess sim;
        QVERIFY(sim.start({"--pty", "--tcp", "0", "--config-log", log}));
        const testing::CliRun run = testing::runCli(testing::cliLinkArgs(sim, tcp) + runs[i]);
        QCOMPARE(run.exitCode, 0);
        sent[i] = run.out;
        kept[i] = testing::readFile(log);
        link = tcp ? QStringLiteral("TCP 127.0.0.1:%1").arg(sim.tcpPort())
                   : QStringLiteral("serial %1 at 9600 baud").arg(sim.ptyPath());
    }
    QCOMPARE(sent[1], sent[0]);
    QCOMPARE(kept[1], kept[0]);
    QVERIFY(sent[0] != defaultRunOut()); // the changes went out

    const QStringList record = QDir(records).entryList({"*.tfp"});
    QCOMPARE(record.size(), 1);
    const QString recordPath = QDir(records).filePath(record.front());
    QVERIFY(testing::readFile(recordPath).contains("\n# Link: " + link.toLatin1() + '\n'));
    const testing::CliRun diff = testing::runCli({"settings", "--diff", profile, recordPath});
    QCOMPARE(diff.exitCode, onTop.isEmpty() ? 0 : 1);
    QCOMPARE(diff.out.count('\n'), onTop.size());
}

void TstE2eCli::simState_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QByteArray>("state"); // --state's file; none when empty
    QTest::addColumn<QByteArray>("file");  // FILE in the commands
    // "INDEX pty|tcp COMMAND": one controller's in turn, different ones at
    // once; each must succeed.
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QByteArray>("out"); // their standard output in this order
    QTest::addColumn<QByteArray>("stateOut");
    const auto controllers = [](const QList<QByteArray> &lines) {
        return "{\"controllers\": {\n  \"" + lines.join(",\n  \"") + "\n}}\n";
    };
    const QByteArray empty = R"({"ad_hoc":[],"clock_offset":0,"schedules":[],"sorted":[],)";
    const QByteArray old = empty + R"("version":"5200 Series Controller V 02.14"})";
    QTest::newRow("loaded, changed, written back")
        << QStringList{"--controllers", "3", "--tcp", "0"}
        << QByteArray(R"({"controllers": {"3": {"clock_offset": -3600}, "1": {"version": "QL 5200 V 9.9",
               "clock_offset": 90061, "ad_hoc": ["000555", "000777", "123888"], "sorted": ["00010", "0009", "000x"],
               "schedules": ["001108001700"]}}})")
        << QByteArray() << QStringList{"1 tcp version", "1 tcp id delete 555", "1 tcp id add 888"}
        << QByteArray("QL 5200 V 9.9\nID deleted\nID added\n")
        << controllers({R"(1": {"ad_hoc":["999555","000777","000888"],"clock_offset":90061,)"
                        R"("schedules":["001108001700"],"sorted":["0009","000x","00010"],"version":"QL 5200 V 9.9"})",
                        "2\": " + old,
                        "3\": " + QByteArray(old).replace("\"clock_offset\":0", "\"clock_offset\":-3600")});
    // Only a flash image changes the identification, and not where the
    // controller keeps running its old one.
    QTest::newRow("downloads") << QStringList{"--controllers", "4", "--pty",         "--tcp", "0",
                                              "--fault-on",    "3", "--keep-version"}
                               << QByteArray() << "abcdef" + QByteArray("QL 5200 V 10.0").leftJustified(44, '\0')
                               << QStringList{"1 tcp flash FILE", "2 tcp bootext FILE", "3 tcp flash FILE",
                                              "4 pty bootext FILE"}
                               << QByteArray()
                               << controllers({"1\": " + empty + R"("version":"QL 5200 V 10.0"})", "2\": " + old,
                                               "3\": " + old, "4\": " + old});
}

// What the simulator holds, read from its state file while it runs and
// after it was told to end.
void TstE2eCli::simState()
{
    QFETCH(QByteArray, state);
    QFETCH(QByteArray, stateOut);
    const QString in = m_dir.filePath(QStringLiteral("state.json"));
    const QString out = m_dir.filePath(QStringLiteral("state-out.json"));
    const QString file = m_dir.filePath(QStringLiteral("file"));
    QVERIFY(testing::writeFile(in, state) && testing::writeFile(file, FETCHED(QByteArray, file)));
    testing::SimProcess sim;
    QVERIFY(sim.start(FETCHED(QStringList, simArgs) + QStringList{"--state-out", out}
                      + (state.isEmpty() ? QStringList{} : QStringList{"--state", in})));
    std::vector<std::unique_ptr<QProcess>> runs;
    std::map<QString, QProcess *> running;
    for (const QString &command : FETCHED(QStringList, commands)) {
        const QStringList words = QString(command).replace(QLatin1String("FILE"), file).split(QLatin1Char(' '));
        const int index = words[0].toInt() - 1;
        if (QProcess *before = running[words[0]])
            QVERIFY(before->waitForFinished(30000));
        const QStringList link = words[1] == u"tcp"
            ? QStringList{"--tcp", QStringLiteral("127.0.0.1:%1").arg(sim.tcpPorts().value(index))}
            : QStringList{"--serial", sim.ptyPaths().value(index)};
        running[words[0]] = runs.emplace_back(std::make_unique<QProcess>()).get();
        runs.back()->start(qEnvironmentVariable("TARNIC_CLI"), link + words.mid(2));
        runs.back()->closeWriteChannel();
    }
    QByteArray got;
    for (const auto &run : runs) {
        QVERIFY(run->state() == QProcess::NotRunning || run->waitForFinished(30000));
        QCOMPARE(run->exitCode(), 0);
        got += run->readAllStandardOutput();
    }
    if (!FETCHED(QByteArray, out).isEmpty())
        QCOMPARE(got, FETCHED(QByteArray, out));
    QCOMPARE(testing::readFile(out), stateOut);
    sim.stop();
    QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(testing::readFile(out), stateOut);
}

// Piped input larger than the device's output buffer, to a far end that reads
// slowly: every byte arrives, in order, and the session ends cleanly.
void TstE2eCli::bulkPassThrough()
{
    const qsizetype size = qsizetype{1024} * 1024;
    testing::SlowPtyReader far;
    const QByteArray payload = testing::bulkPayload(size);
    far.start(size);
    QProcess cli;
    cli.start(qEnvironmentVariable("TARNIC_CLI"), {"--serial", far.path, "terminal", "--linger", "0"});
    QVERIFY(cli.waitForStarted(5000));
    cli.write(payload);
    cli.closeWriteChannel();
    QVERIFY(cli.waitForFinished(120000));
    QCOMPARE(cli.readAllStandardError(), QByteArray());
    QCOMPARE(cli.exitCode(), 0);
    QVERIFY(far.received() == payload);
}

void TstE2eCli::fileWrites_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("setup"); // commands that must succeed first, split at ';'
    QTest::addColumn<QString>("command");
    // What @target is before: "old" (a file that must stay as it was),
    // "none" (no file may appear there, nor in it as a folder), "fifo" or
    // "folder" (it must stay one), "log" (not checked).
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("limit"); // on the size of a file the command writes; 0 none
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("partialLines"); // in @target.partial, which the output names; -1 no such file
    const auto row = [](const char *name, const QString &simArgs, const QByteArray &file, const char *setup,
                        const char *command, const char *target, int limit, int exitCode, int partialLines = -1) {
        QTest::newRow(name) << simArgs.split(u'|', Qt::SkipEmptyParts) << file << QString::fromLatin1(setup)
                            << QString::fromLatin1(command) << target << limit << exitCode << partialLines;
    };
    const QByteArray list = "12345\r\n23456\r\n34567\r\n";
    const char *profile = "settings --set general.max_id_size=20 --save @target";
    row("profile, disk full", {}, {}, "", profile, "old", 64, 1);
    row("profile, disk full, no file before", {}, {}, "", profile, "none", 64, 1);
    row("profile onto a FIFO", {}, {}, "", profile, "fifo", 0, 2);
    row("access upload, disk full", {}, list, "LINK access download @file", "LINK access upload @target", "old", 20, 1);
    row("access upload, link dropped", "--drop-at-record|6", list, "LINK access download @file",
        "LINK access upload @target", "old", 0, 1, 2);
    row("schedules upload, link dropped", "--drop-at-record|5", {}, "", "LINK schedules upload @target", "old", 0, 1,
        32);
    row("schedules upload onto a FIFO", {}, {}, "", "LINK schedules upload @target", "fifo", 0, 2);
    row("schedules upload onto a folder", {}, {}, "", "LINK schedules upload @target", "folder", 0, 2);
    row("run record, disk full", {}, {}, "", "LINK program --record @target", "none", 4096, 1);
    row("fleet report, disk full", {}, kSite, "", "fleet @file --report @target -- version", "old", 64, 1);
    row("fleet report onto a FIFO", {}, kSite, "", "fleet @file --report @target -- version", "fifo", 0, 2);
    row("fleet log, disk full", {}, kSite, "", "fleet @file --log-dir @target -- version", "log", 64, 1);
}

// A file written whole stays as it was when the writing fails (a file-size
// limit stands in for a full disk: a real failed write() part-way), and a
// special file is refused before anything is sent.
void TstE2eCli::fileWrites()
{
    QFETCH(QString, target);
    QFETCH(int, limit);
    QFETCH(int, partialLines);
    Scene s;
    QVERIFY(s.start(FETCHED(QStringList, simArgs), FETCHED(QByteArray, file)));
    const QString path = s.path(QStringLiteral("target"));
    const QByteArray old = "old contents\r\n";
    if (target == QLatin1String("old"))
        QVERIFY(testing::writeFile(path, old));
    if (target == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(path), 0600), 0);
    if (target == QLatin1String("folder"))
        QVERIFY(QDir(s.dir.path()).mkdir(QStringLiteral("target")));
    for (const QString &setup : FETCHED(QString, setup).split(u';', Qt::SkipEmptyParts))
        QCOMPARE(testing::runCli(s.args(setup)).exitCode, 0);
    const testing::CliRun run = testing::runCli(s.args(FETCHED(QString, command)), 30000, {}, [limit] {
        if (limit > 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit size{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
            ::setrlimit(RLIMIT_FSIZE, &size);
        }
    });
    QVERIFY2(run.exitCode == FETCHED(int, exitCode), run.out + run.err);
    const QFileInfo after(path);
    if (target == QLatin1String("old"))
        QCOMPARE(testing::readFile(path), old);
    if (target == QLatin1String("none"))
        QVERIFY(!after.isFile() && QDir(path).entryList(QDir::Files).isEmpty());
    struct stat st = {};
    if (target == QLatin1String("fifo"))
        QVERIFY(::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
    if (target == QLatin1String("folder"))
        QVERIFY(after.isDir());
    const QString partial = path + QStringLiteral(".partial");
    QCOMPARE(QFile::exists(partial), partialLines >= 0);
    if (partialLines >= 0) {
        QCOMPARE(testing::readFile(partial).count("\r\n"), partialLines);
        QVERIFY2(run.out.contains(partial.toLocal8Bit()), run.out);
    }
}

void TstE2eCli::hostileInputs_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said"); // a pattern for stdout and stderr together
    QTest::addColumn<bool>("sends");   // else nothing but wake-ups may reach the controller
    const auto row = [](const char *name, const QByteArray &file, const QString &command, int exitCode,
                        const QString &said) {
        QTest::newRow(name) << QStringList{} << file << command << exitCode << said << false;
    };
    const QString preparing = QStringLiteral("^Preparing to Download Flash\nEarly end of binary file\n$");
    row("id: CR in the ID", {}, "LINK id add 55555555\rR10000001", 2, "control character: 55555555\\\\x0dR1");
    row("fleet: ESC in the command", kSite, "fleet @file -- id add 5\x1b", 2, "control character");
    row("inventory: ESC in a link", "name,link\nd1,tcp:127.0.0.1\x1b:PORT\n", "fleet @file -- version", 2,
        "line 2: a control character in the link field");
    row("access list: ESC on line 2", "12345\r\n6\x1bZ\r\n", "LINK access download @file", 1,
        "\nInvalid data in file rec #  2\n");
    row("access list: 200,001 lines", QByteArray("1\n").repeated(200'001), "LINK access download @file", 2,
        "more than 200000 lines, the limit for an access list");
    row("schedules: past 1 MiB", QByteArray(1024 * 1024 + 1, '1'), "LINK schedules download @file", 2,
        "larger than 1 MiB, the limit for a schedules file");
    row("schedules: a folder", {}, "LINK schedules download @folder", 2, "folder, not a file");
    row("profile: a device", {}, "LINK program --profile /dev/null", 2, "device, not a file");
    row("image: a FIFO", {}, "LINK flash @fifo", 1, "pipe, not a regular file");
    row("flash: a 44-byte image", QByteArray(44, 'x'), "LINK flash @file", 1, preparing);
    row("bootext over TCP: an empty image", {}, "LINK bootext @file", 1, preparing);
    QTest::newRow("fleet: a reply with a line feed")
        << QStringList{"--version-text", "QL 5200\nd1: ok"} << kSite << "fleet @file -- version" << 0
        << "^d1: QL 5200\\\\x0ad1: ok\nd1: ok\n"
        << true;
}

// Input that could change a command, or is not what its kind can be, is
// refused before anything reaches the controller; a reply that could fake a
// line of output is shown escaped.
void TstE2eCli::hostileInputs()
{
    Scene s;
    QVERIFY(s.start(FETCHED(QStringList, simArgs), FETCHED(QByteArray, file)));
    const testing::CliRun run = testing::runCli(s.args(FETCHED(QString, command)), 20000);
    QVERIFY2(run.exitCode == FETCHED(int, exitCode), run.out + run.err);
    QVERIFY2(QRegularExpression(FETCHED(QString, said)).match(QString::fromLocal8Bit(run.out + run.err)).hasMatch(),
             run.out + run.err);
    QVERIFY(FETCHED(bool, sends) || s.sentNothing());
}

void TstE2eCli::interruptedWait_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("signal");
    QTest::newRow("profile, SIGTERM") << "LINK program --profile @fifo" << int(SIGTERM);
    QTest::newRow("access list, Ctrl-C") << "LINK access download @fifo" << int(SIGINT);
    QTest::newRow("inventory, Ctrl-C") << "fleet @fifo -- version" << int(SIGINT);
}

// A FIFO no one writes to waits for its writer, but Ctrl-C and SIGTERM end
// the wait, and the run, with nothing sent.
void TstE2eCli::interruptedWait()
{
    Scene s;
    QVERIFY(s.start({}, {}));
    QProcess cli;
    cli.start(qEnvironmentVariable("TARNIC_CLI"), s.args(FETCHED(QString, command)));
    QVERIFY(cli.waitForStarted(5000));
    QVERIFY(!cli.waitForFinished(500)); // waiting for a writer
    ::kill(static_cast<pid_t>(cli.processId()), FETCHED(int, signal));
    QVERIFY(cli.waitForFinished(5000));
    QCOMPARE(cli.exitCode(), 130);
    QVERIFY(s.sentNothing());
}

QTEST_GUILESS_MAIN(TstE2eCli)
#include "tst_e2e_cli.moc"
