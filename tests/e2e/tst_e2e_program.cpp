// tarnic-cli program / reset / settings against tarnic-sim over a real
// pseudo-terminal and real TCP: the lines printed, the values the simulated
// controller kept, the ID-size question and the exit codes; a run from a saved
// profile against the same changes typed; and the run in this process with
// the link dropped at command k.
#include "config/commands.h"
#include "config/program.h"
#include "tests/common/liverig.h"
#include "tests/common/simprocess.h"
#include "tests/config/defaultlines.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QMap<QByteArray, QByteArray> readLog(const QString &path)
{
    QMap<QByteArray, QByteArray> m;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return m;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (const auto tab = line.indexOf('\t'); tab > 0)
            m.insert(line.left(tab), line.mid(tab + 1));
    return m;
}

QByteArrayList lines(const QByteArray &out) { return out.chopped(out.endsWith('\n') ? 1 : 0).split('\n'); }

// What a run on the start-up defaults prints.
QByteArrayList defaultRunLines()
{
    QByteArrayList expected = {"Checking Parameters", "Starting 430 Communications", "5200 Series Controller V 02.14"};
    for (const QByteArray &c : testing::defaultConfigLines())
        expected.append(c + "  [OK]");
    return expected << " "
                    << "Programming Complete";
}

} // namespace

class TstE2eProgram : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void defaultsRun_data();
    void defaultsRun();
    void idSizeQuestion_data();
    void idSizeQuestion();
    void usageErrors_data();
    void usageErrors();
    void settingsList();
    void profileRun_data();
    void profileRun();
    void linkDropped_data();
    void linkDropped();

private:
    bool startSim(const QStringList &more = {});
    QStringList link(bool tcp) const { return testing::cliLinkArgs(*m_sim, tcp); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<testing::SimProcess> m_sim;
    QString m_log;
};

void TstE2eProgram::init()
{
    m_sim.reset();
    m_dir = std::make_unique<QTemporaryDir>();
    m_log = m_dir->filePath(QStringLiteral("config.log"));
}

bool TstE2eProgram::startSim(const QStringList &more)
{
    m_sim = std::make_unique<testing::SimProcess>();
    return m_sim->start(QStringList{"--pty", "--tcp", "0", "--config-log", m_log} + more);
}

void TstE2eProgram::defaultsRun_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::newRow("pseudo-terminal") << false;
    QTest::newRow("tcp") << true;
}

void TstE2eProgram::defaultsRun()
{
    QFETCH(bool, tcp);
    QVERIFY(startSim());
    QElapsedTimer timer;
    timer.start();
    const testing::CliRun run = testing::runCli(link(tcp) + QStringList{"program"});
    const qint64 ms = timer.elapsed();
    QCOMPARE(run.exitCode, 0);
    const QByteArrayList commands = testing::defaultConfigLines();
    QCOMPARE(lines(run.out), defaultRunLines());
    QVERIFY(run.err.isEmpty());
    qInfo("whole run: %lld ms", static_cast<long long>(ms));
    QVERIFY(ms < 10000);

    const auto kept = readLog(m_log);
    for (const QByteArray &c : commands)
        if (c.startsWith('X') && c != "X0590")
            QCOMPARE(kept.value(c.left(4)), c.mid(4));
    QVERIFY(kept.contains("X0590"));
    const QMap<QByteArray, QByteArray> standAlone{
        {"mode", "4"}, {"relaytime", "05"}, {"badidlog", "1"}, {"seriallog", "0"}, {"lookup", "3"}};
    for (auto it = standAlone.cbegin(); it != standAlone.cend(); ++it)
        QCOMPARE(kept.value(it.key()), it.value());
    QVERIFY(!kept.contains("idsize"));

    const testing::CliRun reset = testing::runCli(link(tcp) + QStringList{"reset"});
    QCOMPARE(reset.exitCode, 0);
    QCOMPARE(lines(reset.out), (QByteArrayList{"Resetting Controller", "Reset Complete"}));
    QTRY_COMPARE(readLog(m_log).value("reset"), QByteArray("1"));
}

void TstE2eProgram::idSizeQuestion_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<QString>("answer");
    QTest::newRow("pty yes") << false << "--yes";
    QTest::newRow("tcp no") << true << "--no";
    QTest::newRow("tcp unanswered, stdin not a terminal") << true << "";
}

void TstE2eProgram::idSizeQuestion()
{
    QFETCH(bool, tcp);
    QFETCH(QString, answer);
    QVERIFY(startSim({"--id-size", "18"}));
    QStringList args = link(tcp) + QStringList{"program", "--set", "general.Text1(2)=20", "--set=general.Option1(2)=1"};
    if (!answer.isEmpty())
        args << answer;
    const testing::CliRun run = testing::runCli(args);
    const QByteArrayList out = lines(run.out);
    const QByteArray question = "ID size specified does not match id size in the controller - this will result "
                                "in clearing all controller data - Continue Y/N";
    QVERIFY(out.contains(question));
    if (answer == QLatin1String("--yes")) {
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(out.at(out.indexOf(question) + 1), QByteArray("Yes"));
        const auto at = out.indexOf("\\20  [OK]");
        QVERIFY(at > 0);
        QCOMPARE(out.at(at - 1), QByteArray("X0590  [OK]"));
        QCOMPARE(out.at(at + 1), QByteArray("|1  [OK]"));
        QCOMPARE(readLog(m_log).value("idsize"), QByteArray("20"));
    } else {
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(out, (QByteArrayList{"Checking Parameters", question, "No"}));
        QVERIFY(!readLog(m_log).contains("X001"));
    }
}

void TstE2eProgram::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("unknown name") << QStringList{"program", "--set", "general.Text9=1"};
    QTest::newRow("disabled cell") << QStringList{"program", "--set", "barcode.Check1(12)=1"};
    QTest::newRow("no value") << QStringList{"program", "--set"};
    QTest::newRow("no equals") << QStringList{"program", "--set", "general.Check2"};
    QTest::newRow("yes and no") << QStringList{"program", "--yes", "--no"};
    QTest::newRow("stray argument") << QStringList{"program", "now"};
    QTest::newRow("reset argument") << QStringList{"reset", "now"};
    QTest::newRow("profile missing") << QStringList{"program", "--profile", "/nonexistent/site.tfp"};
    QTest::newRow("two profiles") << QStringList{"program", "--profile", "a.tfp", "--profile=b.tfp"};
    QTest::newRow("key value") << QStringList{"program", "--set", "general.beep=1"};
    QTest::newRow("settings stray argument") << QStringList{"settings", "now"};
    QTest::newRow("settings diff one file") << QStringList{"settings", "--diff", "a.tfp"};
    QTest::newRow("settings diff, no such file")
        << QStringList{"settings", "--diff", "/nonexistent/a.tfp", "/nonexistent/b.tfp"};
}

void TstE2eProgram::usageErrors()
{
    QFETCH(QStringList, args);
    QVERIFY(startSim());
    const testing::CliRun run = testing::runCli(link(true) + args);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(!run.err.isEmpty());
    QVERIFY(!readLog(m_log).contains("X001"));
}

// Needs no link: it reads nothing from the controller.
void TstE2eProgram::settingsList()
{
    const testing::CliRun run = testing::runCli({"settings"});
    QCOMPARE(run.exitCode, 0);
    const QByteArrayList out = lines(run.out);
    QCOMPARE(out.size(), 339);
    QVERIFY(out.contains("general.max_id_size\t18\tgeneral\tStand Alone Settings / Max ID Size"));
    QVERIFY(out.contains("general.reader\twiegand+magstripe\tgeneral\tReader Settings"));
    QVERIFY(out.contains("barcode.row3.xb\ton\tbarcode\trow 3 (not shown) / XB"));
    QVERIFY(out.contains("comm430.rs422.parity\t8_no_parity\tcomm430\tRS422 Port Settings / Parity"));
}

void TstE2eProgram::profileRun_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<QStringList>("typed"); // program --set ...
    QTest::addColumn<QStringList>("saved"); // settings --set ... --save
    QTest::addColumn<QStringList>("onTop"); // program --profile ... --set ...
    const QStringList issue{"general.Text5(4)=10", "wiegand.Text1(5)=12"};
    const QStringList everyScreen = issue + QStringList{"barcode.Text6=05", "comm430.Option2(1)=1"};
    for (const bool tcp : {false, true}) {
        const char *link = tcp ? "tcp" : "pty";
        QTest::addRow("%s: two changes", link) << tcp << issue << issue << QStringList{};
        QTest::addRow("%s: one on every screen", link) << tcp << everyScreen << everyScreen << QStringList{};
    }
    QTest::newRow("tcp: keys, a change on top")
        << true << QStringList{"general.Option13=1", "barcode.Text6=05"} << QStringList{"general.reader=barcode"}
        << QStringList{"barcode.timeout=05"};
}

// The run from a saved profile sends what the same changes typed send, and
// its record opens as the profile it programmed.
void TstE2eProgram::profileRun()
{
    QFETCH(bool, tcp);
    QFETCH(QStringList, typed);
    QFETCH(QStringList, saved);
    QFETCH(QStringList, onTop);
    const auto withSets = [](QStringList args, const QStringList &sets) {
        for (const QString &set : sets)
            args << "--set" << set;
        return args;
    };
    QByteArray sent[2];
    QByteArray kept[2];
    const QString profile = m_dir->filePath("site.tfp");
    const QString records = m_dir->filePath("records");
    QCOMPARE(testing::runCli(withSets({"settings", "--save", profile}, saved)).exitCode, 0);
    const QStringList runs[2] = {withSets({"program"}, typed),
                                 withSets({"program", "--profile", profile, "--record", records}, onTop)};
    for (int i = 0; i < 2; ++i) {
        QVERIFY(startSim());
        const testing::CliRun run = testing::runCli(link(tcp) + runs[i]);
        QCOMPARE(run.exitCode, 0);
        sent[i] = run.out;
        QFile log(m_log);
        QVERIFY(log.open(QIODevice::ReadOnly));
        kept[i] = log.readAll();
        m_sim.reset();
    }
    QCOMPARE(lines(sent[1]), lines(sent[0]));
    QCOMPARE(kept[1], kept[0]);
    QVERIFY(lines(sent[0]) != defaultRunLines()); // the changes went out

    const QStringList record = QDir(records).entryList({"*.tfp"});
    QCOMPARE(record.size(), 1);
    const testing::CliRun diff =
        testing::runCli({"settings", "--diff", profile, QDir(records).filePath(record.front())});
    QCOMPARE(diff.exitCode, onTop.isEmpty() ? 0 : 1);
    QCOMPARE(diff.out.count('\n'), onTop.size());
}

void TstE2eProgram::linkDropped_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<int>("command"); // 1: "x", 2: "V", then the run's commands
    const int last = static_cast<int>(testing::defaultConfigLines().size()) + 2;
    for (const bool tcp : {false, true})
        for (const int k : {1, 2, 3, 27, last})
            QTest::addRow("%s, command %d", tcp ? "tcp" : "pty", k) << tcp << k;
}

// The controller goes away at command k of a programming run: the run stops
// at once with that command's error text, the link says "Disconnected" and is
// free, and the same program then runs to "Programming Complete" against a
// controller that works.
void TstE2eProgram::linkDropped()
{
    QFETCH(bool, tcp);
    QFETCH(int, command);
    QVERIFY(startSim({"--drop-at-command", QString::number(command)}));
    testing::LiveRig rig;
    QVERIFY(rig.connectTo(*m_sim, tcp));
    config::Settings settings;
    config::applyConfigDefaults(settings);
    config::SinglePane panes(rig.ui);
    config::ProgramContext context{rig.state, rig.link, settings, panes, rig.ui};

    QStringList expected;
    config::RunOutcome outcome = config::RunOutcome::NoReply;
    if (command == 1) {
        expected << QStringLiteral("Error 000A");
        outcome = config::RunOutcome::NoIdReply;
    } else if (command == 2) {
        expected << QStringLiteral("Error 000");
        outcome = config::RunOutcome::NoVersionReply;
    } else {
        int k = 2;
        for (const config::CommandStep &step : config::commandSequence()) {
            const auto built = step.build(settings, false);
            if (built && ++k == command) {
                expected << QString::fromLatin1(*built + ' ') << step.errorText;
                break;
            }
        }
    }
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(config::do_program(context), outcome);
    QVERIFY2(clock.elapsed() < 3000, "ended at the loss, not at a time-out");
    QCOMPARE(rig.ui.lines.mid(rig.ui.lines.size() - expected.size()), expected);
    QCOMPARE(rig.link.statusCaption(), QStringLiteral("Disconnected"));
    QVERIFY(!rig.link.busy());
    QVERIFY(rig.ui.messages.isEmpty());

    QVERIFY(startSim());
    QVERIFY(rig.connectTo(*m_sim, tcp));
    QCOMPARE(config::do_program(context), config::RunOutcome::Complete);
    QCOMPARE(rig.ui.lines.constLast(), QStringLiteral("Programming Complete"));
}

QTEST_GUILESS_MAIN(TstE2eProgram)
#include "tst_e2e_program.moc"
