// tarnic-cli program / reset / settings against tarnic-sim over a real
// pseudo-terminal and real TCP: the lines printed, the values the simulated
// controller kept, the ID-size question and the exit codes.
#include "tests/common/simprocess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray zeros(int n) { return QByteArray(n, '0'); }

// The default run's command lines, restated from the controller's command set.
QByteArrayList defaultCommands()
{
    return {
        "X0014N4N", "X005301000", "X00726020801016000000", "X008030500", "X009" + zeros(25),
        "X010" + zeros(17), "X011" + zeros(6), "X012" + zeros(25), "X013" + zeros(17), "X014" + zeros(6),
        "X015" + zeros(25), "X016" + zeros(10), "X017" + zeros(27), "X018" + zeros(27), "X029125000500000",
        "X030000000100004", "X031" + zeros(15), "X032" + zeros(15), "X03300000100004", "X034" + zeros(15),
        "X035" + zeros(15), "X036000100004", "X037" + zeros(15), "X038" + zeros(15), "X0390000000100004",
        "X040" + zeros(15), "X041" + zeros(15), "X04200000100004", "X043" + zeros(15), "X044" + zeros(15),
        "X0450001004", "X046" + zeros(15), "X047" + zeros(15), "X0480001004", "X049" + zeros(15),
        "X050" + zeros(15), "X051000100004", "X052" + zeros(15), "X053" + zeros(15), "X054000000",
        "X0550000", "X0560200", "X0570", "X0580", "X0590", "|4", "\"05", ":1", "r0", "E3",
    };
}

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

QByteArrayList lines(const QByteArray &out)
{
    QByteArrayList l = out.split('\n');
    if (!l.isEmpty() && l.last().isEmpty())
        l.removeLast();
    return l;
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
    void missingReply();
    void reset_data();
    void reset();
    void usageErrors_data();
    void usageErrors();
    void settingsList();

private:
    bool startSim(const QStringList &more = {});
    QStringList link(bool tcp) const
    {
        return tcp ? QStringList{"--tcp", QStringLiteral("127.0.0.1:%1").arg(m_sim->tcpPort())}
                   : QStringList{"--serial", m_sim->ptyPath()};
    }

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
    QByteArrayList expected = {"Checking Parameters", "Starting 430 Communications", "5200 Series Controller V 02.14"};
    for (const QByteArray &c : defaultCommands())
        expected.append(c + "  [OK]");
    expected << " " << "Programming Complete";
    QCOMPARE(lines(run.out), expected);
    QVERIFY(run.err.isEmpty());
    qInfo("whole run: %lld ms", static_cast<long long>(ms));
    QVERIFY(ms < 10000);

    const auto kept = readLog(m_log);
    for (const QByteArray &c : defaultCommands())
        if (c.startsWith('X') && c.size() >= 4 && c != "X0590")
            QCOMPARE(kept.value(c.left(4)), c.mid(4));
    QVERIFY(kept.contains("X0590"));
    QCOMPARE(kept.value("mode"), QByteArray("4"));
    QCOMPARE(kept.value("relaytime"), QByteArray("05"));
    QCOMPARE(kept.value("badidlog"), QByteArray("1"));
    QCOMPARE(kept.value("seriallog"), QByteArray("0"));
    QCOMPARE(kept.value("lookup"), QByteArray("3"));
    QVERIFY(!kept.contains("idsize"));
}

void TstE2eProgram::idSizeQuestion_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<QString>("answer");
    QTest::newRow("pty yes") << false << "--yes";
    QTest::newRow("tcp yes") << true << "--yes";
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
        // The controller now reports 20: a second run asks nothing.
        const testing::CliRun again = testing::runCli(link(tcp) + QStringList{"program", "--set", "general.Text1(2)=20"});
        QCOMPARE(again.exitCode, 0);
        QVERIFY(!lines(again.out).contains(question));
        QVERIFY(!lines(again.out).contains("\\20  [OK]"));
    } else {
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(out, (QByteArrayList{"Checking Parameters", question, "No"}));
        QVERIFY(!readLog(m_log).contains("X001"));
    }
}

void TstE2eProgram::missingReply()
{
    QVERIFY(startSim({"--silent-on", "X042"}));
    const testing::CliRun run = testing::runCli(link(true) + QStringList{"program"});
    QCOMPARE(run.exitCode, 1);
    const QByteArrayList out = lines(run.out);
    QCOMPARE(out.mid(out.size() - 3),
             (QByteArrayList{"X041" + zeros(15) + "  [OK]", "X04200000100004 ", "Error 042"}));
    QVERIFY(!readLog(m_log).contains("X043"));
}

void TstE2eProgram::reset_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::newRow("pseudo-terminal") << false;
    QTest::newRow("tcp") << true;
}

void TstE2eProgram::reset()
{
    QFETCH(bool, tcp);
    QVERIFY(startSim());
    const testing::CliRun run = testing::runCli(link(tcp) + QStringList{"reset"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(lines(run.out), (QByteArrayList{"Resetting Controller", "Reset Complete"}));
    QTRY_COMPARE(readLog(m_log).value("reset"), QByteArray("1"));
}

void TstE2eProgram::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("unknown name") << QStringList{"program", "--set", "general.Text9=1"};
    QTest::newRow("too long") << QStringList{"program", "--set", "general.Text1(2)=123"};
    QTest::newRow("not digits") << QStringList{"program", "--set", "wiegand.Text5=2C"};
    QTest::newRow("check not 0/1") << QStringList{"program", "--set", "wiegand.Check1=2"};
    QTest::newRow("disabled cell") << QStringList{"program", "--set", "barcode.Check1(12)=1"};
    QTest::newRow("no value") << QStringList{"program", "--set"};
    QTest::newRow("no equals") << QStringList{"program", "--set", "general.Check2"};
    QTest::newRow("yes and no") << QStringList{"program", "--yes", "--no"};
    QTest::newRow("stray argument") << QStringList{"program", "now"};
    QTest::newRow("reset argument") << QStringList{"reset", "now"};
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

void TstE2eProgram::settingsList()
{
    QVERIFY(startSim());
    const testing::CliRun run = testing::runCli(link(true) + QStringList{"settings"});
    QCOMPARE(run.exitCode, 0);
    const QByteArrayList out = lines(run.out);
    QCOMPARE(out.size(), 367);
    QVERIFY(out.contains("general.Text1(2)\tgeneral\tStand Alone Settings / Max ID Size\ttext 2\t18"));
    QVERIFY(out.contains("general.Option15\tgeneral\tSpeaker Settings / Tone / Med\toption\t1"));
    QVERIFY(out.contains("barcode.Check1(26)\tbarcode\trow 3 (not shown) / XB\tcheck\t1"));
    QVERIFY(out.contains("barcode.Check1(12)\tbarcode\tI 2/5 / Transmit / SS\tcheck (disabled)\t0"));
    QVERIFY(out.contains("comm430.Option5(2)\tcomm430\tRS422 Port Settings / Parity / 8 no parity\toption\t1"));
    QVERIFY(out.contains("barcode.Text8(0)\tbarcode\tMask # 1 / Length\ttext\t00"));
}

QTEST_GUILESS_MAIN(TstE2eProgram)
#include "tst_e2e_program.moc"
