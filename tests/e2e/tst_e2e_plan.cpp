// tarnic-cli plan and apply against a tarnic-sim site started from a state
// file: what plan lists, what apply brings into state (read back from the
// simulator's --state-out), that a site in state is left alone, and where
// apply stops: a failed wave, the failure threshold, a controller that keeps
// its old firmware, a download stopped by Ctrl-C; and the access lists and
// schedules, compared in memory and brought to their files.
#include "tests/common/files.h"
#include "tests/common/rows.h"
#include "tests/common/simprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSet>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

const QByteArray kNew = "QL 5200 V 3.0";
const QByteArray kOld = "5200 Series Controller V 02.14";

QList<QJsonObject> jsonLines(const QByteArray &out)
{
    QList<QJsonObject> objects;
    for (const QByteArray &line : out.split('\n'))
        if (!line.isEmpty())
            objects << QJsonDocument::fromJson(line).object();
    return objects;
}

// The objects of one event, by controller name.
QMap<QString, QJsonObject> byName(const QList<QJsonObject> &objects, const char *event)
{
    QMap<QString, QJsonObject> found;
    for (const QJsonObject &o : objects)
        if (o.value(QLatin1String("event")).toString() == QLatin1String(event))
            found.insert(o.value(QLatin1String("name")).toString(), o);
    return found;
}

QString kinds(const QJsonArray &actions)
{
    QStringList all;
    for (const auto &a : actions)
        all << (a.isObject() ? a.toObject().value(QLatin1String("kind")).toString() : a.toString());
    return all.join(QLatin1Char(','));
}

// "NAME:ACTION,ACTION" for each controller plan lists, ';' between;
// "NAME:unreachable" for one not read, "NAME:interrupted:ACTION,…" for one
// left in its boot code.
QString planned(const QByteArray &out)
{
    QStringList rows;
    for (const QJsonObject &c : byName(jsonLines(out), "controller")) {
        const QString name = c.value(QLatin1String("name")).toString();
        const QString actions = kinds(c.value(QLatin1String("actions")).toArray());
        if (c.value(QLatin1String("interrupted")).toBool())
            rows << name + QStringLiteral(":interrupted:") + actions;
        else if (!c.value(QLatin1String("reachable")).toBool())
            rows << name + QStringLiteral(":unreachable");
        else
            rows << name + QLatin1Char(':') + actions;
    }
    return rows.join(QLatin1Char(';'));
}

// One tarnic-sim serving the site's controllers from a state file, and a
// name nothing listens for; the inventory manages firmware, profile and clock
// of every row, a journal and the files in a folder of their own.
struct Site {
    // versions: the reply to "V" of each controller a, b, c, …; sim: switches
    // of the simulator; gone: a row "gone" that cannot be reached.
    bool start(const QList<QByteArray> &versions, const QStringList &sim, bool gone,
               const QList<qint64> &clockOffsets = {})
    {
        QByteArray image(2000, '\0');
        QRandomGenerator rng(27);
        for (char &c : image)
            c = static_cast<char>(rng.bounded(256));
        QByteArray state = "{\"controllers\": {";
        for (qsizetype i = 0; i < versions.size(); ++i)
            state += QStringLiteral("%1\"%2\": {\"version\": \"%3\", \"clock_offset\": %4}")
                         .arg(i ? QStringLiteral(", ") : QString())
                         .arg(i + 1)
                         .arg(QString::fromLatin1(versions[i]))
                         .arg(clockOffsets.value(i))
                         .toLatin1();
        if (!testing::writeFile(path("fw.bin"), image + kNew.leftJustified(44, '\0'))
            || !testing::writeFile(path("site.tfp"), "# tarnic-profile 1\ngeneral.beep = off\n")
            || !testing::writeFile(path("state.json"), state + "}}")
            || !simulator.start(QStringList{"--tcp", "0", "--controllers", QString::number(versions.size()), "--state",
                                            path("state.json"), "--state-out", path("out.json")}
                                + sim))
            return false;
        QByteArray inventory = "name,link,firmware,firmware_version,desired_profile,clock\n";
        const QByteArray desired = ",fw.bin," + kNew + ",site.tfp,5\n";
        for (qsizetype i = 0; i < versions.size(); ++i)
            inventory += QStringLiteral("%1,tcp:127.0.0.1:%2")
                             .arg(QChar(static_cast<char16_t>(u'a' + i)))
                             .arg(simulator.tcpPorts()[i])
                             .toLatin1()
                + desired;
        if (gone) {
            QTcpServer closed;
            if (!closed.listen(QHostAddress::LocalHost))
                return false;
            inventory += "gone,tcp:127.0.0.1:" + QByteArray::number(closed.serverPort()) + desired;
        }
        return testing::writeFile(path("site.csv"), inventory);
    }
    // One controller holding the lists of state (its JSON members), managed
    // by the columns access and schedules (ids.txt, sched.txt, holding
    // accessFile and schedulesFile) and access_options; with a profile, by
    // desired_profile too; sim: switches of the simulator.
    bool startLists(const QByteArray &state, const QByteArray &options, const QByteArray &accessFile,
                    const QByteArray &schedulesFile, const QStringList &sim = {}, const QByteArray &profile = {})
    {
        if (!testing::writeFile(path("state.json"), "{\"controllers\": {\"1\": {" + state + "}}}")
            || !testing::writeFile(path("ids.txt"), accessFile) || !testing::writeFile(path("sched.txt"), schedulesFile)
            || !testing::writeFile(path("p.tfp"), profile)
            || !simulator.start(
                QStringList{"--tcp", "0", "--state", path("state.json"), "--state-out", path("out.json")} + sim))
            return false;
        return testing::writeFile(path("site.csv"),
                                  "name,link,access,access_options,schedules,desired_profile\na,tcp:"
                                      + link(0).toLatin1() + ",ids.txt," + options + ",sched.txt,"
                                      + (profile.isEmpty() ? "" : "p.tfp") + "\n");
    }
    // What the controller's lists hold, from --state-out: the ad hoc list,
    // the sorted list and the schedules set, each's entries ' ' between, '|'
    // between the three.
    QString lists() const
    {
        const QJsonObject all = QJsonDocument::fromJson(testing::readFile(path("out.json"))).object();
        const QJsonObject c = all.value(QLatin1String("controllers")).toObject().value(QLatin1String("1")).toObject();
        QStringList parts;
        for (const char *list : {"ad_hoc", "sorted", "schedules"}) {
            QStringList entries;
            for (const auto &e : c.value(QLatin1String(list)).toArray())
                entries << e.toString();
            parts << entries.join(QLatin1Char(' '));
        }
        return parts.join(QLatin1Char('|'));
    }
    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }
    QString link(int index) const { return QStringLiteral("127.0.0.1:%1").arg(simulator.tcpPorts()[index]); }

    // tarnic-cli --json --journal J COMMAND site.csv ARGS
    testing::CliRun cli(const QString &command, const QStringList &args = {}) const
    {
        return testing::runCli(QStringList{"--json", "--journal", path("j.db"), command, path("site.csv")} + args,
                               90000);
    }

    // What each controller holds, from --state-out: "VERSION CLOCK_OFFSET".
    QStringList held() const
    {
        QStringList rows;
        const QJsonObject all = QJsonDocument::fromJson(testing::readFile(path("out.json"))).object();
        const QJsonObject controllers = all.value(QLatin1String("controllers")).toObject();
        for (int i = 1; i <= controllers.size(); ++i) {
            const QJsonObject c = controllers.value(QString::number(i)).toObject();
            rows << QStringLiteral("%1 %2")
                        .arg(c.value(QLatin1String("version")).toString())
                        .arg(c.value(QLatin1String("clock_offset")).toInteger());
        }
        return rows;
    }

    QTemporaryDir dir;
    testing::SimProcess simulator;
};

// Each controller's "NAME STATE" of apply's JSON Lines, ';' between.
QString applied(const QByteArray &out)
{
    QStringList rows;
    for (const QJsonObject &c : byName(jsonLines(out), "controller"))
        rows << c.value(QLatin1String("name")).toString() + QLatin1Char(' ')
                + c.value(QLatin1String("state")).toString();
    return rows.join(QLatin1Char(';'));
}

QJsonObject summary(const QByteArray &out) { return jsonLines(out).value(jsonLines(out).size() - 1); }

} // namespace

class TstE2ePlan : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void mixedSite();
    void stops_data();
    void stops();
    void lists_data();
    void lists();
    void idSizeChangeClearsLists();
};

// In state, old firmware, a drifted clock, never programmed, unreachable:
// plan lists what each needs, apply brings the reachable ones into state in
// two waves, and a second apply only reads.
void TstE2ePlan::mixedSite()
{
    Site site;
    QVERIFY(site.start({kNew, kOld, kNew, kNew}, {}, true, {0, 0, 400, 0}));
    // a, b and c were programmed with the site's profile, by endpoint alone.
    for (int i = 0; i < 3; ++i)
        QCOMPARE(testing::runCli({"--journal", site.path("j.db"), "--tcp", site.link(i), "program", "--profile",
                                  site.path("site.tfp")})
                     .exitCode,
                 0);

    testing::CliRun plan = site.cli("plan");
    QCOMPARE(plan.exitCode, 1);
    QCOMPARE(planned(plan.out), "a:;b:firmware,profile;c:clock;d:profile;gone:unreachable");
    const QJsonObject b = byName(jsonLines(plan.out), "controller").value("b");
    QVERIFY2(b.value("journal_record").toObject().value("seq").toInt() > 0, plan.out);
    QCOMPARE(b.value("read").toObject().value("firmware").toString(), kOld);
    QVERIFY(b.value("actions").toArray().at(0).toObject().value("predicted_s").toDouble() > 8);
    QCOMPARE(site.cli("plan", {"--only", "a,b,c,d"}).exitCode, 4);

    const testing::CliRun apply = site.cli("apply", {"--waves", "1,100%", "--report", site.path("report.json")});
    QCOMPARE(apply.exitCode, 1);
    QCOMPARE(applied(apply.out), "a in state;b applied;c applied;d applied;gone unreachable");
    const QJsonObject bApplied = byName(jsonLines(apply.out), "controller").value("b");
    QCOMPARE(kinds(bApplied.value("verified").toArray()), "firmware");
    QCOMPARE(kinds(bApplied.value("recorded").toArray()), "profile");
    QVERIFY(testing::readFile(site.path("report.json")).contains("\"state\": \"applied\""));
    const QStringList held = site.held();
    QCOMPARE(held.size(), 4);
    for (const QString &controller : held)
        QVERIFY2(controller.startsWith(kNew + ' ') && std::abs(controller.section(' ', -1).toInt()) <= 1,
                 qPrintable(held.join('|')));

    plan = site.cli("plan");
    QCOMPARE(plan.exitCode, 1);
    QCOMPARE(planned(plan.out), "a:;b:;c:;d:;gone:unreachable");

    // In state: apply reads and sends nothing else.
    const testing::CliRun again = site.cli("apply", {"--only", "a,b,c,d"});
    QCOMPARE(again.exitCode, 0);
    QCOMPARE(applied(again.out), "a in state;b in state;c in state;d in state");
    const testing::CliRun journal = testing::runCli(
        {"--journal", site.path("j.db"), "journal", "--json", "--run", summary(again.out).value("run").toString()});
    QSet<QString> operations;
    for (const QJsonObject &r : jsonLines(journal.out))
        operations << r.value("operation").toString();
    QCOMPARE(operations, QSet<QString>{"inspect"});
}

void TstE2ePlan::stops_data()
{
    QTest::addColumn<QList<QByteArray>>("versions");
    QTest::addColumn<QStringList>("sim");   // for controller a alone
    QTest::addColumn<QStringList>("apply"); // options
    QTest::addColumn<bool>("interrupt");    // Ctrl-C twice once the download is under way
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("states");
    QTest::addColumn<QString>("message"); // a's, or else why apply stopped
    const QStringList silent{"--silent-on", "X001"};
    QTest::newRow("a failed first wave: the next does not start")
        << QList<QByteArray>{kNew, kNew, kNew} << silent << QStringList{"--waves", "1,100%"} << false << 1
        << "a failed;b not started;c not started"
        << "wave 1 did not end in state";
    QTest::newRow("--max-failures: no new starts")
        << QList<QByteArray>{kNew, kNew, kNew} << silent << QStringList{"--parallel", "1", "--max-failures", "1"}
        << false << 1 << "a failed;b not started;c not started"
        << "1 of 1 controllers failed (--max-failures)";
    QTest::newRow("the old firmware still answers after the download")
        << QList<QByteArray>{kOld} << QStringList{"--keep-version"} << QStringList{} << false << 1 << "a failed"
        << QString::fromLatin1("firmware: answers \"" + kOld + "\" after the download, not \"" + kNew);
    QTest::newRow("a download stopped by Ctrl-C")
        << QList<QByteArray>{kOld} << QStringList{"--pace", "9600"} << QStringList{} << true << 130 << "a interrupted"
        << "firmware: interrupted, left in boot code";
}

void TstE2ePlan::stops()
{
    QFETCH(QList<QByteArray>, versions);
    QFETCH(QString, message);
    Site site;
    QVERIFY(site.start(versions, FETCHED(QStringList, sim) + QStringList{"--fault-on", "1"}, false));
    QByteArray out;
    int exitCode = -1;
    if (FETCHED(bool, interrupt)) {
        QProcess apply;
        apply.start(qEnvironmentVariable("TARNIC_CLI"),
                    QStringList{"--json", "--journal", site.path("j.db"), "apply", site.path("site.csv")});
        while (!out.contains("\"event\":\"progress\"") && apply.waitForReadyRead(30000))
            out += apply.readAllStandardOutput();
        for (int press = 0; press < 2; ++press) {
            ::kill(static_cast<pid_t>(apply.processId()), SIGINT);
            QTest::qWait(100);
        }
        QVERIFY(apply.state() == QProcess::NotRunning || apply.waitForFinished(30000));
        out += apply.readAllStandardOutput();
        exitCode = apply.exitCode();
    } else {
        const testing::CliRun apply = site.cli("apply", FETCHED(QStringList, apply));
        out = apply.out;
        exitCode = apply.exitCode;
    }
    QCOMPARE(exitCode, FETCHED(int, exitCode));
    QCOMPARE(applied(out), FETCHED(QString, states));
    const QString said = byName(jsonLines(out), "controller").value("a").value("message").toString() + '|'
        + summary(out).value("stopped").toString();
    QVERIFY2(said.contains(message), qPrintable(said));
    if (!FETCHED(bool, interrupt))
        return;
    // Left in its boot code, it answers nothing; the journal tells why.
    const testing::CliRun plan = site.cli("plan");
    QCOMPARE(plan.exitCode, 1);
    QCOMPARE(planned(plan.out), "a:interrupted:firmware,profile,clock");
}

void TstE2ePlan::lists_data()
{
    QTest::addColumn<QByteArray>("state");   // the controller's lists
    QTest::addColumn<QByteArray>("options"); // access_options
    QTest::addColumn<QByteArray>("access");  // ids.txt
    QTest::addColumn<QStringList>("flags");  // on plan and apply
    QTest::addColumn<QString>("planned");    // plan's actions, then its notes
    QTest::addColumn<QString>("held");       // after apply, as Site::lists()
    const QByteArray schedules = R"("schedules": ["001108001700"])";
    const QByteArray file = "73510001\r\n\r\n73510002\r\n";
    const QString inState = "00073510001 00073510002||001108001700";
    QTest::newRow("in state: a deleted entry and blank lines do not count")
        << QByteArray(R"("ad_hoc": ["00073510001", "99973515555", "00073510002"], )" + schedules) << QByteArray()
        << file << QStringList() << ":"
        << "00073510001 99973515555 00073510002||001108001700";
    QTest::newRow("a missing record, and one on another schedule")
        << QByteArray(R"("ad_hoc": ["00773510001"], )" + schedules) << QByteArray() << file << QStringList()
        << "access:"
        << "00073510001 00073510002||001108001700";
    QTest::newRow("a deleted record is missing")
        << QByteArray(R"("ad_hoc": ["00073510001", "99973510002"], )" + schedules) << QByteArray() << file
        << QStringList() << "access:" << inState;
    QTest::newRow("a surplus ad hoc ID: kept without --prune")
        << QByteArray(R"("ad_hoc": ["00073510001", "00073510002", "00073519999"], )" + schedules) << QByteArray()
        << file << QStringList() << ":ad hoc list: 1 surplus ID, kept (--prune deletes them)"
        << "00073510001 00073510002 00073519999||001108001700";
    QTest::newRow("a surplus ad hoc ID: deleted with --prune")
        << QByteArray(R"("ad_hoc": ["00073519999", "00073510001"], )" + schedules) << QByteArray() << file
        << QStringList{"--prune"} << "prune,access:"
        << "99973519999 00073510001 00073510002||001108001700";
    QTest::newRow("a surplus sorted ID cannot be removed")
        << QByteArray(R"("sorted": ["00573510001", "00573512002", "00573519999"], )" + schedules)
        << QByteArray("sorted schedule") << QByteArray("00573510001\n00573512002\n") << QStringList{"--prune"}
        << ":sorted list: 1 surplus ID: cannot remove (sorted list)"
        << "|00573510001 00573512002 00573519999|001108001700";
    QTest::newRow("different schedules") << QByteArray(
        R"("ad_hoc": ["00073510001", "00073510002"], "schedules": ["001108001700", "200800001234"])")
                                         << QByteArray() << file << QStringList() << "schedules:" << inState;
    QTest::newRow("--skip-lists: neither read nor applied")
        << QByteArray(R"("ad_hoc": ["00073510001"], "schedules": ["200800001234"])") << QByteArray() << file
        << QStringList{"--skip-lists"} << ":lists not read (--skip-lists)"
        << "00073510001||200800001234";
}

// plan reads the lists into memory and reports each difference by counts;
// apply fixes what can be fixed and reads it back; plan again finds
// nothing pending, and still reports what cannot be fixed.
void TstE2ePlan::lists()
{
    QFETCH(QString, planned);
    Site site;
    QVERIFY(site.startLists(FETCHED(QByteArray, state), FETCHED(QByteArray, options), FETCHED(QByteArray, access),
                            "001108001700\r\n"));
    const QStringList prune = FETCHED(QStringList, flags);
    const auto said = [](const QByteArray &out) {
        const QJsonObject a = byName(jsonLines(out), "controller").value("a");
        QStringList notes;
        for (const auto &n : a.value("notes").toArray())
            notes << n.toString();
        return kinds(a.value("actions").toArray()) + ':' + notes.join(';');
    };
    const testing::CliRun plan = site.cli("plan", prune);
    QCOMPARE(said(plan.out), planned);
    QCOMPARE(plan.exitCode, planned.startsWith(':') ? 0 : 4);
    // Counts and keyed hashes only: no ID of either side leaves the comparison.
    for (const char *id : {"73510001", "73510002", "73519999", "73515555"})
        QVERIFY2(!plan.out.contains(id), plan.out);
    const QJsonObject read =
        byName(jsonLines(plan.out), "controller").value("a").value("read").toObject().value("access").toObject();
    QCOMPARE(read.value("hmac_sha256").toString().size(), prune.contains("--skip-lists") ? 0 : 64);

    const testing::CliRun apply = site.cli("apply", prune);
    QCOMPARE(apply.exitCode, 0);
    QCOMPARE(site.lists(), FETCHED(QString, held));
    const testing::CliRun again = site.cli("plan", prune);
    QCOMPARE(again.exitCode, 0);
    QCOMPARE(said(again.out), ':' + planned.section(':', 1));
}

// A programming run that changes the ID size clears the controller's data:
// lists the plan found in state are downloaded again after it.
void TstE2ePlan::idSizeChangeClearsLists()
{
    Site site;
    QVERIFY(site.startLists(R"("ad_hoc": ["00073510001"], "schedules": ["001108001700"])", {}, "73510001\r\n",
                            "001108001700\r\n", {"--id-size", "26"}, "# tarnic-profile 1\ngeneral.beep = off\n"));
    const testing::CliRun apply = site.cli("apply", {"--yes"});
    QCOMPARE(apply.exitCode, 0);
    const QJsonObject a = byName(jsonLines(apply.out), "controller").value("a");
    QCOMPARE(kinds(a.value("actions").toArray()), "profile");
    QCOMPARE(kinds(a.value("verified").toArray()), "access,schedules");
    QCOMPARE(site.lists(), "00073510001||001108001700");
}

QTEST_GUILESS_MAIN(TstE2ePlan)
#include "tst_e2e_plan.moc"
