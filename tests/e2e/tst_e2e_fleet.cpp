// tarnic-cli fleet against several tarnic-sim processes, on pseudo-terminals
// and TCP: the report, the exit status, the logs, the images received,
// Ctrl-C once and twice, and a worker that dies.
#include "tests/common/files.h"
#include "tests/common/rows.h"
#include "tests/common/simprocess.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <map>
#include <memory>

namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// The processes a fleet started: its workers.
QList<pid_t> childrenOf(qint64 pid)
{
    QList<pid_t> children;
    for (const QByteArray &child : readFile(QStringLiteral("/proc/%1/task/%1/children").arg(pid)).split(' '))
        if (child.trimmed().toInt() > 0)
            children << static_cast<pid_t>(child.trimmed().toInt());
    return children;
}

// A site of simulated controllers, its inventory and a firmware image in a
// folder of its own, where the fleet runs.
struct Site {
    // name -> simulator switches ("unreachable" for none listening);
    // "pty" among them puts the controller on a pseudo-terminal.
    bool start(const std::map<QString, QStringList> &controllers)
    {
        QRandomGenerator rng(4);
        image.resize(4096);
        for (char &c : image)
            c = static_cast<char>(rng.bounded(256));
        QFile fw(dir.filePath(QStringLiteral("fw.bin")));
        if (!fw.open(QIODevice::WriteOnly) || fw.write(image) != image.size())
            return false;
        QString inventory = QStringLiteral("name,link\n# a comment, then a blank line\n\n");
        for (const auto &[name, switches] : controllers) {
            if (switches == QStringList{QStringLiteral("unreachable")}) {
                QTcpServer closed;
                if (!closed.listen(QHostAddress::LocalHost))
                    return false;
                inventory += QStringLiteral("%1,tcp:127.0.0.1:%2\n").arg(name).arg(closed.serverPort());
                continue;
            }
            const bool pty = switches.contains(QStringLiteral("pty"));
            QStringList args = switches;
            args.removeAll(QStringLiteral("pty"));
            args << (pty ? QStringList{QStringLiteral("--pty")}
                         : QStringList{QStringLiteral("--tcp"), QStringLiteral("0")})
                 << QStringLiteral("--save-image") << saved(name);
            auto &sim = sims[name] = std::make_unique<testing::SimProcess>();
            if (!sim->start(args))
                return false;
            inventory += pty ? QStringLiteral("%1,serial:%2\n").arg(name, sim->ptyPath())
                             : QStringLiteral("%1,tcp:127.0.0.1:%2\n").arg(name).arg(sim->tcpPort());
        }
        QFile inv(dir.filePath(QStringLiteral("site.csv")));
        return inv.open(QIODevice::WriteOnly) && inv.write(inventory.toUtf8()) > 0;
    }
    QString saved(const QString &name) const { return dir.filePath(QStringLiteral("got-%1.bin").arg(name)); }

    // tarnic-cli fleet site.csv OPTIONS -- flash fw.bin, started in the folder.
    void startFleet(QProcess &fleet, const QStringList &options) const
    {
        fleet.setWorkingDirectory(dir.path());
        fleet.start(qEnvironmentVariable("TARNIC_CLI"),
                    QStringList{QStringLiteral("fleet"), QStringLiteral("site.csv"), QStringLiteral("--report"),
                                QStringLiteral("report.json"), QStringLiteral("--log-dir"), QStringLiteral("logs")}
                        + options
                        + QStringList{QStringLiteral("--"), QStringLiteral("flash"), QStringLiteral("fw.bin")});
    }

    // Each controller of the report as "NAME STATE ATTEMPTS", ';' between.
    QString report() const
    {
        QStringList rows;
        const auto doc = QJsonDocument::fromJson(readFile(dir.filePath(QStringLiteral("report.json"))));
        for (const auto &v : doc.object().value(QLatin1String("controllers")).toArray()) {
            const QJsonObject c = v.toObject();
            rows << QStringLiteral("%1 %2 %3")
                        .arg(c.value(QLatin1String("name")).toString(), c.value(QLatin1String("state")).toString())
                        .arg(c.value(QLatin1String("attempts")).toInt());
        }
        return rows.join(QLatin1Char(';'));
    }

    QTemporaryDir dir;
    QByteArray image;
    std::map<QString, std::unique_ptr<testing::SimProcess>> sims;
};

} // namespace

class TestE2eFleet : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sixControllers_data();
    void sixControllers();
    void interrupt_data();
    void interrupt();
    void sharedLink_data();
    void sharedLink();
    void usage_data();
    void usage();
    void parallelRecords();
    void reportNotWritten();
};

void TestE2eFleet::sixControllers_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("report");
    QTest::newRow("no retries")
        << QStringList{} << 1
        << "dropper failed 1;good1 ok 1;good2 ok 1;good3 ok 1;unreachable failed 1;wrong failed 1";
    QTest::newRow("one retry, JSON Lines")
        << QStringList{QStringLiteral("--retries"), QStringLiteral("1"), QStringLiteral("--json")} << 1
        << "dropper ok 2;good1 ok 1;good2 ok 1;good3 ok 1;unreachable failed 2;wrong ok 2";
}

// One answers wrongly, one drops the link mid-download, one is not there;
// the others get the image whole. The faults fire once, so a retry turns
// both first-attempt failures into success.
void TestE2eFleet::sixControllers()
{
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, report);
    Site site;
    QVERIFY(site.start(
        {{QStringLiteral("good1"), {}},
         {QStringLiteral("good2"), {QStringLiteral("pty")}},
         {QStringLiteral("good3"), {QStringLiteral("pty")}},
         {QStringLiteral("wrong"), {QStringLiteral("pty"), QStringLiteral("--boot-wrong-ack"), QStringLiteral("3")}},
         {QStringLiteral("dropper"), {QStringLiteral("--drop-after-bytes"), QStringLiteral("2000")}},
         {QStringLiteral("unreachable"), {QStringLiteral("unreachable")}}}));
    QProcess fleet;
    site.startFleet(fleet, options);
    QVERIFY(fleet.waitForFinished(90000));
    const QByteArray out = fleet.readAllStandardOutput();
    QCOMPARE(fleet.exitCode(), exitCode);
    QCOMPARE(site.report(), report);
    for (const QString &name : {QStringLiteral("good1"), QStringLiteral("good2"), QStringLiteral("good3")})
        QVERIFY2(readFile(site.saved(name)) == site.image, qPrintable(name));
    QCOMPARE(readFile(site.saved(QStringLiteral("dropper"))) == site.image,
             report.startsWith(QLatin1String("dropper ok")));
    QVERIFY(readFile(site.dir.filePath(QStringLiteral("logs/wrong.log"))).contains("Download Error"));
    QVERIFY(readFile(site.dir.filePath(QStringLiteral("logs/unreachable.log"))).contains("connection refused"));
    QVERIFY(readFile(site.dir.filePath(QStringLiteral("logs/good2.log"))).contains("Download complete"));
    // Every line a JSON object of a named controller, but the fleet's own last.
    if (options.contains(QStringLiteral("--json"))) {
        const QList<QByteArray> lines = out.trimmed().split('\n');
        for (const QByteArray &line : lines.mid(0, lines.size() - 1))
            QVERIFY2(!QJsonDocument::fromJson(line).object().value(QLatin1String("name")).toString().isEmpty(), line);
        // The run's id, as the report and the journal file it.
        QJsonObject summary = QJsonDocument::fromJson(lines.constLast()).object();
        const QJsonValue run = summary.take(QLatin1String("run"));
        QCOMPARE(run,
                 QJsonDocument::fromJson(readFile(site.dir.filePath(QStringLiteral("report.json"))))
                     .object()
                     .value(QLatin1String("run")));
        QCOMPARE(QJsonDocument(summary).toJson(QJsonDocument::Compact),
                 QByteArray(R"({"done":5,"event":"result","exit":1,"failed":1,"ok":false})"));
    } else {
        QVERIFY2(out.contains("\ngood2: Download complete\n"), out);
    }
}

void TestE2eFleet::interrupt_data()
{
    QTest::addColumn<QStringList>("fleet"); // its options; none for one controller
    // Of Ctrl-C; none kills the fleet's worker, -1 stops it (SIGSTOP) and
    // sends the fleet SIGTERM.
    QTest::addColumn<int>("presses");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("report");
    const QStringList one{QStringLiteral("--parallel"), QStringLiteral("1")};
    QTest::newRow("one controller") << QStringList{} << 1 << 130 << "";
    QTest::newRow("fleet, once: the running one finishes") << one << 1 << 130 << "a ok 1;b interrupted 0";
    QTest::newRow("fleet, twice: the running one stops") << one << 2 << 130 << "a interrupted 1;b interrupted 0";
    QTest::newRow("fleet, SIGTERM to a worker that cannot end: killed 10 s later")
        << one << -1 << 130 << "a interrupted 1;b interrupted 0";
    QTest::newRow("fleet, its worker killed: both crashed, then retried")
        << QStringList{QStringLiteral("--parallel"), QStringLiteral("2"), QStringLiteral("--retries"),
                       QStringLiteral("1")}
        << 0 << 0 << "a ok 2;b ok 2";
}

// Ctrl-C against slow (paced) controllers: exit 130 after the run unwound. A
// worker that dies takes its runs with it; each is retried like any failure,
// and the retried download starts again from its break-in.
void TestE2eFleet::interrupt()
{
    QFETCH(QStringList, fleet);
    QFETCH(int, presses);
    QFETCH(int, exitCode);
    QFETCH(QString, report);
    Site site;
    const QStringList paced{QStringLiteral("--pace"), QStringLiteral("9600")};
    QVERIFY(site.start({{QStringLiteral("a"), paced}, {QStringLiteral("b"), paced}}));
    QProcess cli;
    if (!fleet.isEmpty()) {
        site.startFleet(cli, fleet);
    } else {
        cli.setWorkingDirectory(site.dir.path());
        cli.start(qEnvironmentVariable("TARNIC_CLI"),
                  testing::cliLinkArgs(*site.sims.at(QStringLiteral("a")), true)
                      + QStringList{QStringLiteral("flash"), QStringLiteral("fw.bin")});
    }
    // Once the first controller reports, it is inside its run.
    QVERIFY(cli.waitForReadyRead(10000));
    if (presses <= 0) {
        const QList<pid_t> workers = childrenOf(cli.processId());
        QCOMPARE(workers.size(), 1);
        ::kill(workers.constFirst(), presses == 0 ? SIGKILL : SIGSTOP);
    }
    if (presses < 0)
        ::kill(static_cast<pid_t>(cli.processId()), SIGTERM);
    for (int i = 0; i < presses; ++i) {
        ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
        QTest::qWait(100);
    }
    // (The wait between the presses may have seen it end already.)
    QVERIFY(cli.state() == QProcess::NotRunning || cli.waitForFinished(60000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), exitCode);
    QCOMPARE(site.report(), report);
    // A run left to finish gets the image through; a stopped one does not.
    QCOMPARE(readFile(site.saved(QStringLiteral("a"))) == site.image, report.startsWith(QLatin1String("a ok")));
}

void TestE2eFleet::sharedLink_data()
{
    testing::boolRows("pty", "127.0.0.1 and localhost, one port", "a pseudo-terminal and a symbolic link to it");
}

// Two rows that reach one controller by two spellings take turns.
void TestE2eFleet::sharedLink()
{
    QFETCH(bool, pty);
    QTemporaryDir dir;
    testing::SimProcess sim;
    QVERIFY(sim.start(QStringList{QStringLiteral("--pace"), QStringLiteral("1200")}
                      + (pty ? QStringList{QStringLiteral("--pty")} : QStringList{"--tcp", "0"})));
    const QString alias = dir.filePath(QStringLiteral("ptylink"));
    QVERIFY(!pty || QFile::link(sim.ptyPath(), alias));
    const QString port = QString::number(sim.tcpPort());
    const QString links[2] = {pty ? "serial:" + sim.ptyPath() : "tcp:127.0.0.1:" + port,
                              pty ? "serial:" + alias : "tcp:localhost:" + port};
    QFile inventory(dir.filePath(QStringLiteral("site.csv")));
    QVERIFY(inventory.open(QIODevice::WriteOnly));
    inventory.write(QStringLiteral("name,link\na,%1\nb,%2\n").arg(links[0], links[1]).toUtf8());
    inventory.close();
    QProcess fleet;
    fleet.setWorkingDirectory(dir.path());
    fleet.start(qEnvironmentVariable("TARNIC_CLI"),
                {"fleet", "site.csv", "--parallel", "2", "--report", "r.json", "--", "version"});
    QVERIFY(fleet.waitForFinished(30000));
    QCOMPARE(fleet.exitCode(), 0);
    const auto report = QJsonDocument::fromJson(readFile(dir.filePath(QStringLiteral("r.json"))));
    const QJsonArray rows = report.object().value(QLatin1String("controllers")).toArray();
    QCOMPARE(rows.size(), 2);
    const auto at = [&rows](int row, const char *key) {
        return QDateTime::fromString(rows.at(row).toObject().value(QLatin1String(key)).toString(), Qt::ISODateWithMs);
    };
    QVERIFY2(at(1, "start") >= at(0, "end") || at(0, "start") >= at(1, "end"), report.toJson().constData());
}

void TestE2eFleet::usage_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("error"); // the start of stderr
    QTest::newRow("a bad option in the command") << QStringList{} << "access upload x{name} --bogus"
                                                 << "access upload: unknown option --bogus";
    QTest::newRow("--only with no name") << QStringList{"--only", ""} << "version"
                                         << "--only needs";
    QTest::newRow("--only, a name not in the inventory") << QStringList{"--only", "a,zz"} << "version"
                                                         << "--only names controllers the inventory lacks: zz";
}

// A usage error is found before any link opens.
void TestE2eFleet::usage()
{
    QFETCH(QStringList, options);
    QTemporaryDir dir;
    QTcpServer controller;
    QVERIFY(controller.listen(QHostAddress::LocalHost));
    QFile inventory(dir.filePath(QStringLiteral("site.csv")));
    QVERIFY(inventory.open(QIODevice::WriteOnly));
    inventory.write(QStringLiteral("name,link\na,tcp:127.0.0.1:%1\n").arg(controller.serverPort()).toUtf8());
    inventory.close();
    const testing::CliRun run = testing::runCli(QStringList{"fleet", inventory.fileName()} + options + QStringList{"--"}
                                                + FETCHED(QString, command).split(' '));
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.startsWith(FETCHED(QString, error).toUtf8()), run.err.constData());
    QVERIFY(!controller.waitForNewConnection(50));
}

// Runs that end in the same second each keep their record.
void TestE2eFleet::parallelRecords()
{
    constexpr int kRuns = 32;
    QTemporaryDir dir;
    testing::SimProcess sim;
    QVERIFY(sim.start({"--controllers", QString::number(kRuns), "--tcp", "0"}));
    std::vector<std::unique_ptr<QProcess>> runs;
    for (quint16 port : sim.tcpPorts()) {
        runs.push_back(std::make_unique<QProcess>());
        runs.back()->start(qEnvironmentVariable("TARNIC_CLI"),
                           {"--tcp", QStringLiteral("127.0.0.1:%1").arg(port), "program", "--record", dir.path()});
    }
    for (const auto &run : runs) {
        QVERIFY(run->waitForFinished(60000));
        QCOMPARE(run->exitCode(), 0);
    }
    QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("*.tfp")}).size(), kRuns);
}

// A report that cannot be written fails the run, and the JSON summary says so.
void TestE2eFleet::reportNotWritten()
{
    QTemporaryDir dir;
    testing::SimProcess sim;
    QVERIFY(sim.start({"--tcp", "0"}));
    QVERIFY(testing::writeFile(dir.filePath(QStringLiteral("site.csv")),
                               "name,link\na,tcp:127.0.0.1:" + QByteArray::number(sim.tcpPort()) + '\n'));
    const testing::CliRun run =
        testing::runCli({"--json", "fleet", dir.filePath(QStringLiteral("site.csv")), "--report",
                         dir.filePath(QStringLiteral("none/r.json")), "--", "version"});
    QCOMPARE(run.exitCode, 1);
    const QJsonObject summary = QJsonDocument::fromJson(run.out.trimmed().split('\n').constLast()).object();
    QCOMPARE(summary.value(QLatin1String("exit")).toInt(), 1);
    QVERIFY2(!summary.value(QLatin1String("ok")).toBool(), run.out.constData());
}

QTEST_GUILESS_MAIN(TestE2eFleet)
#include "tst_e2e_fleet.moc"
