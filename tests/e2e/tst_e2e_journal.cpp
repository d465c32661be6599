// The journal as a technician's tarnic-cli writes it, against tarnic-sim:
// each outcome and each typed result once, the listing, the chain checked
// after sqlite3 changed the file, a fleet killed with SIGKILL, two writers at
// once, and journals that cannot be written.
#include "tests/common/files.h"
#include "tests/common/rows.h"
#include "tests/common/simprocess.h"
#include "tests/common/slowpty.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <pwd.h>
#include <unistd.h>

namespace {

const QString kCardId = QStringLiteral("13572468");

testing::CliRun journalCli(const QString &journal, const QStringList &args)
{
    return testing::runCli(QStringList{QStringLiteral("--journal"), journal} + args);
}

// Every record, oldest first, as the export writes them.
QList<QJsonObject> records(const QString &journal)
{
    const QString out = journal + QStringLiteral(".jsonl");
    if (journalCli(journal, {"journal", "export", out}).exitCode != 0)
        return {};
    QList<QJsonObject> found;
    for (const QByteArray &line : testing::readFile(out).split('\n'))
        if (!line.isEmpty())
            found << QJsonDocument::fromJson(line).object();
    return found;
}

// A field by its path ("results.memory.main_used", "files.0.size") as text.
QString field(const QJsonObject &record, const QString &path)
{
    QJsonValue v = record;
    for (const QString &key : path.split(QLatin1Char('.')))
        v = v.isArray() ? v.toArray().at(key.toInt()) : v.toObject().value(key);
    if (v.isArray())
        return QString::fromUtf8(QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact));
    return v.isUndefined() ? QStringLiteral("undefined")
        : v.isNull()       ? QStringLiteral("null")
                           : v.toVariant().toString();
}

// Each record as "CONTROLLER KIND OUTCOME", sorted.
QStringList controllersOf(const QList<QJsonObject> &found)
{
    QStringList rows;
    for (const QJsonObject &r : found)
        rows << field(r, "controller") + QLatin1Char(' ') + field(r, "kind") + QLatin1Char(' ') + field(r, "outcome");
    rows.sort();
    return rows;
}

void verifyIntact(const QString &journal, qsizetype count)
{
    const testing::CliRun run = journalCli(journal, {"journal", "verify"});
    QVERIFY2(run.out.startsWith(QByteArray::number(count) + " records, chain intact\nhead: "), run.out + run.err);
    QCOMPARE(run.exitCode, 0);
}

QString inventory(const QString &path, const QList<QPair<QString, quint16>> &controllers)
{
    QByteArray text = "name,link\n";
    for (const auto &[name, port] : controllers)
        text += QStringLiteral("%1,tcp:127.0.0.1:%2\n").arg(name).arg(port).toLatin1();
    return testing::writeFile(path, text) ? path : QString();
}

QString sqlite(const QString &journal, const QString &sql)
{
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {journal, sql});
    p.waitForFinished(10000);
    return QString::fromLocal8Bit(p.readAllStandardError());
}

} // namespace

class TstE2eJournal : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void operations_data();
    void operations();
    void listing_data();
    void listing();
    void tampered_data();
    void tampered();
    void fleetKilled();
    void twoWriters();
    void unwritable_data();
    void unwritable();

private:
    QString sharedJournal();
    QTemporaryDir m_dir;
    QString m_shared;
    quint16 m_sharedPort = 0;
};

void TstE2eJournal::operations_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<QString>("simArgs"); // '|' between; "closed" for a port nothing listens on
    QTest::addColumn<QByteArray>("file"); // FILE in the command
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("interrupt"); // Ctrl-C once it has begun
    QTest::addColumn<int>("exitCode");
    // PATH=PATTERN on the ended record, "started:PATH=…" on the started one.
    QTest::addColumn<QStringList>("checks");
    const QString hex = QStringLiteral("^[0-9a-f]{64}$");
    const QString time = QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$");
    const auto row = [](const char *name, bool tcp, const char *sim, const QByteArray &file, const char *command,
                        int exitCode, const QStringList &checks, bool interrupt = false) {
        QTest::newRow(name) << tcp << QString::fromLatin1(sim) << file << QString::fromLatin1(command) << interrupt
                            << exitCode << checks;
    };
    row("tcp: version", true, "--version-text|QL 5200 V 9.9", {}, "version", 0,
        {"outcome=^ok$", "exit=^0$", "message=^$", "results.version=^QL 5200 V 9\\.9$", "options=^\\[\\]$"});
    row("pty: clock read", false, "", {}, "time get", 0,
        {"operation=^time get$", "results.time=^\\d{4}-", "results.clock_offset_s=^-?[0-2]$"});
    row("tcp: clock set", true, "", {}, "time set --hours 2", 0,
        {"operation=^time set$", "options=^\\[\"--hours\",\"2\"\\]$", "results.time_set=" + time});
    row("tcp: memory", true, "", {}, "memory", 0, {"results.memory.main_available=^60000$"});
    row("pty: access list down", false, "", "0014000000\r\n0024000037\r\n", "access download FILE --sorted", 0,
        {"results.records=^2$", "files.0.role=^access list$", "files.0.size=^24$", "files.0.hmac_sha256=" + hex});
    row("tcp: schedules up", true, "", {}, "schedules upload FILE", 0,
        {"results.schedules=^\\d+$", "files.0.hmac_sha256=" + hex, "started:files.0.hmac_sha256=^undefined$"});
    row("pty: program", false, "", {}, "program", 0,
        {"results.lines.0=^\\[\"X001[^\"]*\",\"OK\"\\]$", "results.settings_sha256=" + hex});
    row("tcp: loopback", true, "", {}, "loopback --passes 1", 0,
        {"results.characters_sent=^256$", "results.bad_echoes=^0$", "results.timeouts=^0$"});
    row("tcp: flash", true, "", testing::bulkPayload(245), "flash FILE", 0,
        {"files.0.role=^image$", "files.0.size=^245$", "files.0.sha256=^FILE_SHA$", "started:files.0.size=^245$"});
    row("tcp: an ID added", true, "", {}, "id add 13572468", 0, {"operation=^id add$", "options=^\\[\\]$"});
    row("tcp: no reply", true, "--silent-on|V", {}, "version", 1,
        {"outcome=^failed$", "exit=^1$", "message=^No response from controller$"});
    row("tcp: nothing listens", true, "closed", {}, "version", 3,
        {"outcome=^link not opened$", "exit=^3$", "message=^cannot connect to 127.0.0.1:\\d+: connection refused"});
    row("tcp: flash interrupted", true, "--pace|9600", testing::bulkPayload(4096), "flash FILE", 130,
        {"outcome=^interrupted$", "exit=^130$"}, true);
}

// Each operation leaves a started and an ended record of one operation, with
// who, when, where and what, and the chain stays whole; no card ID is kept.
void TstE2eJournal::operations()
{
    QFETCH(bool, tcp);
    QFETCH(QString, simArgs);
    QFETCH(QByteArray, file);
    QFETCH(int, exitCode);
    const QTemporaryDir dir;
    const QString journal = dir.filePath("journal.db");
    const QString path = dir.filePath("file");
    QVERIFY(file.isEmpty() || testing::writeFile(path, file));
    testing::SimProcess sim;
    QStringList link;
    if (simArgs == QLatin1String("closed")) {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        link = QStringList{"--tcp", QStringLiteral("127.0.0.1:%1").arg(closed.serverPort())};
    } else {
        QVERIFY(sim.start(QStringList{"--pty", "--tcp", "0"} + simArgs.split(u'|', Qt::SkipEmptyParts)));
        link = testing::cliLinkArgs(sim, tcp);
    }
    const QStringList args = QStringList{"--journal", journal} + link
        + FETCHED(QString, command).replace(QLatin1String("FILE"), path).split(QLatin1Char(' '));
    int exit = -1;
    if (FETCHED(bool, interrupt)) {
        QProcess cli;
        cli.start(qEnvironmentVariable("TARNIC_CLI"), args);
        QVERIFY(cli.waitForReadyRead(10000));
        ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
        QVERIFY(cli.waitForFinished(30000));
        exit = cli.exitCode();
    } else {
        exit = testing::runCli(args).exitCode;
    }
    QCOMPARE(exit, exitCode);

    const QList<QJsonObject> found = records(journal);
    QCOMPARE(found.size(), 2);
    const QJsonObject &started = found.at(0);
    const QJsonObject &ended = found.at(1);
    QCOMPARE(field(started, "kind") + field(started, "outcome") + field(started, "exit"), "startednull");
    QCOMPARE(field(ended, "kind"), "ended");
    QCOMPARE(field(ended, "operation_id"), field(started, "operation_id"));
    QCOMPARE(field(ended, "started"), field(started, "started"));
    QVERIFY(field(ended, "ended") >= field(ended, "started"));
    QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$")
                .match(field(ended, "ended"))
                .hasMatch());
    QCOMPARE(field(ended, "operator"),
             QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name) + '@' + QSysInfo::machineHostName());
    QCOMPARE(field(ended, "link"), link.at(0).mid(2) + ':' + link.at(1));
    const QString sha = QCryptographicHash::hash(file, QCryptographicHash::Sha256).toHex();
    for (const QString &check : FETCHED(QStringList, checks)) {
        const bool onStart = check.startsWith(QLatin1String("started:"));
        const qsizetype eq = check.indexOf(QLatin1Char('='));
        const QString got = field(onStart ? started : ended, check.left(eq).mid(onStart ? 8 : 0));
        QVERIFY2(QRegularExpression(check.mid(eq + 1).replace("FILE_SHA", sha)).match(got).hasMatch(),
                 qPrintable(check + " got " + got));
    }
    QVERIFY(!(testing::readFile(journal) + testing::readFile(journal + "-wal")).contains(kCardId.toLatin1()));
    verifyIntact(journal, 2);
}

// A journal of a few operations, made once for the listing and the tampering.
QString TstE2eJournal::sharedJournal()
{
    if (!m_shared.isEmpty())
        return m_shared;
    testing::SimProcess sim;
    if (!sim.start({"--pty", "--tcp", "0", "--version-text", "QL 5200 V 9.9"}))
        return {};
    m_shared = m_dir.filePath("shared.db");
    m_sharedPort = sim.tcpPort();
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    const QString refused = QStringLiteral("127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    const QStringList tcp = testing::cliLinkArgs(sim, true);
    for (const QStringList &args :
         {tcp + QStringList{"version"}, testing::cliLinkArgs(sim, false) + QStringList{"memory"},
          tcp + QStringList{"version"}, QStringList{"--tcp", refused, "version"}})
        journalCli(m_shared, args);
    return m_shared;
}

void TstE2eJournal::listing_data()
{
    QTest::addColumn<QString>("args");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QString>("pattern"); // PORT: the simulator's TCP port
    QTest::newRow("table") << "" << 5
                           << "^time +operator +controller +operation +outcome +result\n"
                              "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ +\\S+@\\S+ +version +ok +QL 5200 V 9\\.9\n";
    QTest::newRow("by operation, the last") << "--operation version --last 1" << 2 << "\n\\S+ +\\S+ +version +link not";
    QTest::newRow("failed") << "--failed" << 2 << "link not opened +cannot connect";
    QTest::newRow("by link") << "--link tcp:127.0.0.1:PORT" << 3 << "version.*\n.*version";
    QTest::newRow("since tomorrow") << "--since " + QDate::currentDate().addDays(2).toString(Qt::ISODate) << 1 << "";
    QTest::newRow("until tomorrow, csv") << "--until " + QDate::currentDate().addDays(1).toString(Qt::ISODate)
            + " --csv" << 5 << "^started,ended,operator,controller,link,.*\n\"\\d{4}-.*\"ok\",0,\"QL";
    QTest::newRow("json, no such controller") << "--json --controller gate" << 0 << "^$";
    QTest::newRow("memory as json") << "--json --operation memory" << 1 << "^\\{.*\"main_available\":\"60000\"";
}

void TstE2eJournal::listing()
{
    const QString journal = sharedJournal();
    QVERIFY(!journal.isEmpty());
    QString args = FETCHED(QString, args);
    const testing::CliRun run = journalCli(
        journal,
        QStringList{"journal"} + args.replace("PORT", QString::number(m_sharedPort)).split(' ', Qt::SkipEmptyParts));
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out.count('\n'), FETCHED(int, lines));
    QVERIFY2(QRegularExpression(FETCHED(QString, pattern)).match(QString::fromUtf8(run.out)).hasMatch(), run.out);
}

void TstE2eJournal::tampered_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("withHead"); // against the head before the change
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("verdict");
    QTest::newRow("untouched") << "" << true << 0 << "^8 records, chain intact$";
    QTest::newRow("edited") << "UPDATE records SET outcome = 'ok' WHERE seq = 8" << false << 1
                            << "^record 8 was changed$";
    QTest::newRow("removed") << "DELETE FROM records WHERE seq = 3" << false << 1 << "^record 3 was removed$";
    QTest::newRow("inserted") << "UPDATE records SET seq = -seq WHERE seq >= 3; UPDATE records SET seq = 1 - seq "
                                 "WHERE seq < 0; CREATE TEMP TABLE t AS SELECT * FROM records WHERE seq = 2; "
                                 "UPDATE t SET seq = 3; INSERT INTO records SELECT * FROM t;"
                              << false << 1 << "^record 3 was inserted$";
    QTest::newRow("a link edited") << "UPDATE records SET prev = hash WHERE seq = 5" << false << 1
                                   << "^record 5 was changed$";
    QTest::newRow("truncated: only the head shows it")
        << "DELETE FROM records WHERE seq > 6" << true << 1 << "^no record has the head [0-9a-f]{64}: the newest";
}

// sqlite3 changes a copy of the journal; verify names the first record changed.
void TstE2eJournal::tampered()
{
    const QString shared = sharedJournal();
    QVERIFY(!shared.isEmpty());
    const QString head =
        QString::fromLatin1(journalCli(shared, {"journal", "verify"}).out).section("head: ", 1).trimmed();
    const QString journal = m_dir.filePath(QStringLiteral("%1.db").arg(QTest::currentDataTag()));
    QVERIFY(QFile::copy(shared, journal));
    QFile::copy(shared + "-wal", journal + "-wal");
    QCOMPARE(sqlite(journal, FETCHED(QString, sql)), QString());
    QStringList args{"journal", "verify"};
    if (FETCHED(bool, withHead))
        args << "--head" << head;
    const testing::CliRun run = journalCli(journal, args);
    QCOMPARE(run.exitCode, FETCHED(int, exitCode));
    QVERIFY2(QRegularExpression(FETCHED(QString, verdict)).match(run.out.split('\n').at(0)).hasMatch(), run.out);
}

// SIGKILL on the runner: the finished controllers are recorded, the running
// ones have their started record, the waiting ones none; the chain is whole
// and the next run appends to it.
void TstE2eJournal::fleetKilled()
{
    testing::SimProcess quick;
    testing::SimProcess paced;
    QVERIFY(quick.start({"--tcp", "0", "--controllers", "4"}));
    QVERIFY(paced.start({"--tcp", "0", "--controllers", "2", "--pace", "9600"}));
    const auto &q = quick.tcpPorts();
    const QString site = inventory(
        m_dir.filePath("killed.csv"),
        {{"a", q[0]}, {"b", q[1]}, {"c", paced.tcpPorts()[0]}, {"d", paced.tcpPorts()[1]}, {"e", q[2]}, {"f", q[3]}});
    const QString journal = m_dir.filePath("killed.db");
    QProcess fleet;
    fleet.start(qEnvironmentVariable("TARNIC_CLI"),
                {"--journal", journal, "--json", "fleet", site, "--parallel", "2", "--", "loopback", "--passes", "50"});
    QByteArray out;
    const auto bothStarted = [&out] { return out.contains("\"name\":\"c\"") && out.contains("\"name\":\"d\""); };
    // A slow machine (a sanitizer build) may take a while to get there.
    for (QDeadlineTimer deadline(60000); !bothStarted() && !deadline.hasExpired();) {
        fleet.waitForReadyRead(1000);
        out += fleet.readAllStandardOutput();
    }
    QVERIFY2(bothStarted(), out.constData());
    ::kill(static_cast<pid_t>(fleet.processId()), SIGKILL);
    QVERIFY(fleet.waitForFinished(10000));
    QCOMPARE(controllersOf(records(journal)),
             QStringList({"a ended ok", "a started ", "b ended ok", "b started ", "c started ", "d started "}));
    verifyIntact(journal, 6);
    QCOMPARE(journalCli(journal, testing::cliLinkArgs(quick, true) + QStringList{"version"}).exitCode, 0);
    verifyIntact(journal, 8);
}

// Two fleets write one journal at once: every record is there, in one chain.
void TstE2eJournal::twoWriters()
{
    constexpr int kEach = 16;
    const QString journal = m_dir.filePath("two.db");
    testing::SimProcess sims[2];
    QProcess fleets[2];
    for (int f = 0; f < 2; ++f) {
        QVERIFY(sims[f].start({"--tcp", "0", "--controllers", QString::number(kEach)}));
        QList<QPair<QString, quint16>> controllers;
        for (int i = 0; i < kEach; ++i)
            controllers.append({QStringLiteral("f%1-%2").arg(f).arg(i), sims[f].tcpPorts()[i]});
        const QString site = inventory(m_dir.filePath(QStringLiteral("two-%1.csv").arg(f)), controllers);
        fleets[f].start(qEnvironmentVariable("TARNIC_CLI"),
                        {"--journal", journal, "fleet", site, "--parallel", QString::number(kEach), "--", "version"});
    }
    for (QProcess &fleet : fleets) {
        QVERIFY(fleet.waitForFinished(60000));
        QCOMPARE(fleet.readAllStandardError(), QByteArray());
        QCOMPARE(fleet.exitCode(), 0);
    }
    verifyIntact(journal, 4 * qsizetype{kEach});
    const QStringList runs = QString::fromUtf8(journalCli(journal, {"journal", "--csv"}).out)
                                 .split('\n', Qt::SkipEmptyParts)
                                 .mid(1)
                                 .replaceInStrings(QRegularExpression(".*,\"([^\"]*)\",\\d+$"), "\\1");
    QCOMPARE(runs.size(), 2 * kEach);
    QCOMPARE(QSet<QString>(runs.begin(), runs.end()).size(), 2);
}

void TstE2eJournal::unwritable_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("given"); // with --journal, else through TARNIC_JOURNAL
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("err");
    const QString unrecorded = QStringLiteral("; the work goes on unrecorded\n$");
    QTest::newRow("a folder") << "folder" << false << 0 << "^warning: \\S+ is a folder" + unrecorded;
    QTest::newRow("a newer schema") << "newer" << false << 0 << "^warning: journal \\S+: written by a newer version";
    QTest::newRow("another user's") << "nobody" << false << 0
                                    << "^warning: cannot write \\S+: Permission denied" + unrecorded;
    QTest::newRow("a folder given: nothing sent") << "folder" << true << 2 << "^\\S+ is a folder\n$";
}

// A journal that cannot be written never stops the work, unless it was given
// on the command line: then nothing at all happens.
void TstE2eJournal::unwritable()
{
    QFETCH(QString, kind);
    QFETCH(bool, given);
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ExeOther | QFile::ReadOther);
    const QString journal = dir.filePath("journal.db");
    testing::SimProcess sim;
    QVERIFY(sim.start({"--tcp", "0", "--version-text", "QL 5200 V 9.9"}));
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    QStringList program{qEnvironmentVariable("TARNIC_CLI")};
    if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(journal));
    } else {
        QCOMPARE(journalCli(journal, testing::cliLinkArgs(sim, true) + QStringList{"version"}).exitCode, 0);
        if (kind == QLatin1String("newer"))
            QCOMPARE(sqlite(journal, "PRAGMA user_version = 99"), QString());
    }
    if (kind == QLatin1String("nobody")) {
        if (::geteuid() != 0)
            QSKIP("setpriv needs root");
        program = QStringList{"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"} + program;
    }
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TARNIC_JOURNAL", journal);
    cli.setProcessEnvironment(env);
    const QStringList link = given
        ? QStringList{"--journal", journal, "--tcp", QStringLiteral("127.0.0.1:%1").arg(silent.serverPort())}
        : testing::cliLinkArgs(sim, true);
    const QString executable = program.takeFirst();
    cli.start(executable, program + link + QStringList{"version"});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), FETCHED(int, exitCode));
    QCOMPARE(cli.readAllStandardOutput(), QByteArray(given ? "" : "QL 5200 V 9.9\n"));
    const QString err = QString::fromLocal8Bit(cli.readAllStandardError());
    QVERIFY2(QRegularExpression(FETCHED(QString, err)).match(err).hasMatch(), qPrintable(err));
    QVERIFY(!silent.waitForNewConnection(200));
}

QTEST_GUILESS_MAIN(TstE2eJournal)
#include "tst_e2e_journal.moc"
