// The programming run and the reset over the fake link on the virtual clock:
// the exchange order, where each line and error lands, the ID-size handshake
// and the refusals.
#include "config/program.h"
#include "config/settingtable.h"
#include "configtestsupport.h"

#include <QTest>

using namespace config;
using testing::RecordedPanes;
using testing::ScriptedController;

Q_DECLARE_METATYPE(config::RunOutcome)

namespace {

struct Bench {
    explicit Bench(bool tcp = false)
    {
        applyConfigDefaults(settings);
        if (tcp)
            rig.connectTcp();
        else
            rig.connectSerial();
        controller = std::make_unique<ScriptedController>(rig.peer());
    }
    RunOutcome run()
    {
        ProgramContext c{rig.state, rig.link, settings, panes, rig.ui};
        return do_program(c);
    }
    ResetOutcome reset()
    {
        ProgramContext c{rig.state, rig.link, settings, panes, rig.ui};
        return do_reset(c);
    }
    testing::FakeRig rig;
    Settings settings;
    RecordedPanes panes;
    std::unique_ptr<ScriptedController> controller;
};

} // namespace

class TstConfigProgram : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void wholeRun_data();
    void wholeRun();
    void stopsAtFirstMissingReply_data();
    void stopsAtFirstMissingReply();
    void idSizeHandshake_data();
    void idSizeHandshake();
    void emptyReplyStillCounts();
    void builtWhenReached();
    void checkFailureSendsNothing();
    void closedLinkEndsQuietly();
    void secondStartRefused();
    void quittingUnwindsQuietly();
    void reset_data();
    void reset();
    void leadingNumber_data();
    void leadingNumber();
};

void TstConfigProgram::wholeRun_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::newRow("serial") << false;
    QTest::newRow("tcp") << true;
}

void TstConfigProgram::wholeRun()
{
    QFETCH(bool, tcp);
    Bench b(tcp);
    const wire::Ms start = b.rig.waiter.now();
    QCOMPARE(b.run(), RunOutcome::Complete);
    const QByteArrayList &sent = b.controller->lines;
    QCOMPARE(b.controller->wakeups, 2);
    QCOMPARE(sent.mid(0, 2), (QByteArrayList{"x", "V"}));
    QCOMPARE(sent.size(), 2 + 50);
    QCOMPARE(sent.at(2), QByteArray("X0014N4N"));
    QCOMPARE(sent.at(16), QByteArray("X029125000500000"));
    QCOMPARE(sent.mid(sent.size() - 6), (QByteArrayList{"X0590", "|4", "\"05", ":1", "r0", "E3"}));

    const QStringList &left = b.panes.left.lines;
    QCOMPARE(left.size(), 1 + 2 + 27);
    QCOMPARE(left.at(0), QStringLiteral("Checking Parameters"));
    QCOMPARE(left.at(1), QStringLiteral("Starting 430 Communications"));
    QCOMPARE(left.at(2), QStringLiteral("5200 V 02.14"));
    QCOMPARE(left.at(3), QStringLiteral("X0014N4N  [OK]"));
    QCOMPARE(left.last(), QStringLiteral("X041%1  [OK]").arg(QString(15, QLatin1Char('0'))));
    const QStringList &right = b.panes.right.lines;
    QCOMPARE(right.size(), 17 + 1 + 5 + 2);
    QCOMPARE(right.first(), QStringLiteral("X04200000100004  [OK]"));
    QCOMPARE(right.mid(right.size() - 4),
             (QStringList{"r0  [OK]", "E3  [OK]", " ", "Programming Complete"}));
    // Each exchange is immediate here: the run never waits out a time-out.
    QVERIFY(b.rig.waiter.now() - start < wire::Ms{1000});
}

void TstConfigProgram::stopsAtFirstMissingReply_data()
{
    QTest::addColumn<QByteArray>("silent");
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<QStringList>("answers");  // "yes" for the question
    QTest::addColumn<RunOutcome>("outcome");
    QTest::addColumn<bool>("rightPane");
    QTest::addColumn<QStringList>("lastLines");

    QTest::newRow("x") << QByteArray("x") << QStringList() << QStringList() << RunOutcome::NoIdReply << false
                       << QStringList{"Checking Parameters", "Error 000A"};
    QTest::newRow("V") << QByteArray("V") << QStringList() << QStringList() << RunOutcome::NoVersionReply << false
                       << QStringList{"Starting 430 Communications", "Error 000"};
    QTest::newRow("X001") << QByteArray("X001") << QStringList() << QStringList() << RunOutcome::NoReply << false
                          << QStringList{"X0014N4N ", "Error 001"};
    QTest::newRow("X005") << QByteArray("X005") << QStringList() << QStringList() << RunOutcome::NoReply << false
                          << QStringList{"X0014N4N  [OK]", "X005301000 ", "Error 005"};
    QTest::newRow("X007") << QByteArray("X007") << QStringList() << QStringList() << RunOutcome::NoReply << false
                          << QStringList{"X00726020801016000000 ", "Error 007"};
    QTest::newRow("X018") << QByteArray("X018") << QStringList() << QStringList() << RunOutcome::NoReply << false
                          << QStringList{"X018" + QString(27, QLatin1Char('0')) + " ", "Error 018"};
    QTest::newRow("X029 left") << QByteArray("X029") << QStringList() << QStringList() << RunOutcome::NoReply
                               << false << QStringList{"X029125000500000 ", "Error 029"};
    QTest::newRow("X041 left") << QByteArray("X041") << QStringList() << QStringList() << RunOutcome::NoReply << false
                               << QStringList{"X041" + QString(15, QLatin1Char('0')) + " ", "Error 041"};
    QTest::newRow("X042 right") << QByteArray("X042") << QStringList() << QStringList() << RunOutcome::NoReply
                                << true << QStringList{"X04200000100004 ", "Error 042"};
    QTest::newRow("X058") << QByteArray("X058") << QStringList() << QStringList() << RunOutcome::NoReply << true
                          << QStringList{"X0580 ", "Error 058"};
    QTest::newRow("X0590") << QByteArray("X0590") << QStringList() << QStringList() << RunOutcome::NoReply << true
                           << QStringList{"X0590 ", "Error 059"};
    QTest::newRow("X0593") << QByteArray("X0593") << QStringList{"general.Check8(1)=1"} << QStringList()
                           << RunOutcome::NoReply << true << QStringList{"X0593 ", "Error 059"};
    QTest::newRow("X0594") << QByteArray("X0594") << QStringList{"general.Check8(2)=1"} << QStringList()
                           << RunOutcome::NoReply << true << QStringList{"X0590  [OK]", "X0594 ", "Error 059"};
    QTest::newRow("id size command") << QByteArray("\\") << QStringList{"general.Text1(2)=20"}
                                     << QStringList{"yes"} << RunOutcome::NoReply << true
                                     << QStringList{"\\20 ", "Error QLM001"};
    QTest::newRow("operating mode") << QByteArray("|") << QStringList() << QStringList() << RunOutcome::NoReply
                                    << true << QStringList{"|4 ", "Error QLM002"};
    QTest::newRow("relay/led time") << QByteArray("\"") << QStringList() << QStringList() << RunOutcome::NoReply
                                    << true << QStringList{"\"05 ", "Error QLM003"};
    QTest::newRow("bad id logging") << QByteArray(":") << QStringList() << QStringList() << RunOutcome::NoReply
                                    << true << QStringList{":1 ", "Error QLM004"};
    QTest::newRow("serial logging") << QByteArray("r") << QStringList() << QStringList() << RunOutcome::NoReply
                                    << true << QStringList{"r0 ", "Error QLM005"};
    QTest::newRow("lookup") << QByteArray("E") << QStringList() << QStringList() << RunOutcome::NoReply << true
                            << QStringList{"E3 ", "Error QLM006"};
}

void TstConfigProgram::stopsAtFirstMissingReply()
{
    QFETCH(QByteArray, silent);
    Bench b;
    for (const QString &c : FETCHED(QStringList, changes)) {
        const auto eq = c.indexOf(QLatin1Char('='));
        QVERIFY(setSetting(b.settings, c.left(eq), c.mid(eq + 1), nullptr));
    }
    for (const QString &a : FETCHED(QStringList, answers))
        b.rig.ui.answers.push_back(a == QLatin1String("yes"));
    b.controller->silentPrefix = silent;
    const wire::Ms start = b.rig.waiter.now();
    QCOMPARE(b.run(), FETCHED(RunOutcome, outcome));
    // It waited the full reply time-out once, and sent nothing after.
    QVERIFY(b.rig.waiter.now() - start >= wire::Ms{5000});
    QVERIFY(b.rig.waiter.now() - start < wire::Ms{6000});
    QVERIFY(b.controller->lines.last().startsWith(silent));
    const QStringList lastLines = FETCHED(QStringList, lastLines);
    const bool rightPane = FETCHED(bool, rightPane);
    const QStringList &pane = rightPane ? b.panes.right.lines : b.panes.left.lines;
    QCOMPARE(pane.mid(pane.size() - lastLines.size()), lastLines);
    if (!rightPane)
        QVERIFY(b.panes.right.lines.isEmpty());
    QVERIFY(!b.panes.right.lines.contains(QStringLiteral("Programming Complete")));
}

void TstConfigProgram::idSizeHandshake_data()
{
    QTest::addColumn<QString>("entered");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("answer");  // -1: no answer scripted
    QTest::addColumn<bool>("asked");
    QTest::addColumn<RunOutcome>("outcome");
    QTest::addColumn<bool>("sizeCommand");

    QTest::newRow("equal") << "18" << QByteArray("18") << -1 << false << RunOutcome::Complete << false;
    QTest::newRow("equal, blanks and line feed") << "18" << QByteArray("\n 1 8 ") << -1 << false
                                                 << RunOutcome::Complete << false;
    QTest::newRow("equal, trailing text") << "08" << QByteArray("8 bytes") << -1 << false << RunOutcome::Complete
                                          << false;
    QTest::newRow("entered empty") << "" << QByteArray("30") << -1 << false << RunOutcome::Complete << false;
    QTest::newRow("entered 00") << "00" << QByteArray("30") << -1 << false << RunOutcome::Complete << false;
    QTest::newRow("not a number, No") << "18" << QByteArray("ERR") << 0 << true << RunOutcome::Declined << false;
    QTest::newRow("empty reply, Yes") << "18" << QByteArray("") << 1 << true << RunOutcome::Complete << true;
    QTest::newRow("differ, Yes") << "20" << QByteArray("18") << 1 << true << RunOutcome::Complete << true;
    QTest::newRow("differ, No") << "20" << QByteArray("18") << 0 << true << RunOutcome::Declined << false;
    QTest::newRow("beyond 16 bits asks") << "18" << QByteArray("65554") << 1 << true << RunOutcome::Complete << true;
    QTest::newRow("negative beyond 16 bits") << "18" << QByteArray("-99999999999") << 0 << true
                                             << RunOutcome::Declined << false;
    QTest::newRow("fraction rounds to even") << "18" << QByteArray("18.5") << -1 << false << RunOutcome::Complete
                                             << false;
}

void TstConfigProgram::idSizeHandshake()
{
    Bench b;
    b.settings.general.Text1[2] = FETCHED(QString, entered);
    b.controller->idSize = FETCHED(QByteArray, reply);
    const int answer = FETCHED(int, answer);
    if (answer >= 0)
        b.rig.ui.answers.push_back(answer == 1);
    const RunOutcome outcome = FETCHED(RunOutcome, outcome);
    QCOMPARE(b.run(), outcome);
    const QStringList expectedQuestions = FETCHED(bool, asked) ? QStringList{
        "ID size specified does not match id size in the controller - this will result in clearing all controller "
        "data - Continue Y/N"} : QStringList();
    QCOMPARE(b.rig.ui.questions, expectedQuestions);
    const bool sizeCommand = FETCHED(bool, sizeCommand);
    QByteArrayList sizeCommands;
    for (const QByteArray &line : b.controller->lines)
        if (line.startsWith('\\'))
            sizeCommands.append(line);
    // The entered sizes of the rows that send it have two digits already.
    QCOMPARE(sizeCommands,
             sizeCommand ? QByteArrayList{"\\" + FETCHED(QString, entered).toLatin1()} : QByteArrayList());
    if (sizeCommand) {
        // After the levels, before the operating mode.
        const auto at = b.controller->lines.indexOf("|4");
        QVERIFY(b.controller->lines.at(at - 1).startsWith('\\'));
        QCOMPARE(b.controller->lines.at(at - 2), QByteArray("X0590"));
    }
    if (outcome == RunOutcome::Declined) {
        QCOMPARE(b.controller->lines, (QByteArrayList{"x"}));
        QCOMPARE(b.panes.left.lines, QStringList{"Checking Parameters"});
    }
    // The reply to "x" is never printed.
    QVERIFY(!b.panes.left.lines.contains(QString::fromLatin1(b.controller->idSize)) || b.controller->idSize.isEmpty());
}

void TstConfigProgram::emptyReplyStillCounts()
{
    Bench b;
    b.controller->ack = "";
    QCOMPARE(b.run(), RunOutcome::Complete);
    QCOMPARE(b.panes.left.lines.at(3), QStringLiteral("X0014N4N  []"));
}

void TstConfigProgram::builtWhenReached()
{
    // A setting changed while the run is under way reaches the commands that
    // come after the change.
    Bench b;
    b.controller->onLine = [&b](const QByteArray &line) {
        if (line.startsWith("X005")) {
            b.settings.barcode.Text6 = QStringLiteral("5");
            b.settings.comm430.rs232Baud = Comm430Settings::B1200;
        }
    };
    QCOMPARE(b.run(), RunOutcome::Complete);
    QVERIFY(b.controller->lines.contains("X0560500"));
    QVERIFY(b.controller->lines.contains("X0014N4N"));
}

void TstConfigProgram::checkFailureSendsNothing()
{
    Bench b;
    b.settings.barcode.Text6 = QStringLiteral("16");
    QCOMPARE(b.run(), RunOutcome::CheckFailed);
    QVERIFY(b.rig.peer().writes.isEmpty());
    QCOMPARE(b.panes.left.lines,
             (QStringList{"Checking Parameters", "Error - Barcode timeout must be between 2 and 15"}));
}

void TstConfigProgram::closedLinkEndsQuietly()
{
    Bench b;
    b.rig.link.DisconnectLink();
    QCOMPARE(b.run(), RunOutcome::SendFailed);
    QCOMPARE(b.panes.left.lines, QStringList{"Checking Parameters"});
    QVERIFY(b.rig.ui.messages.isEmpty());
}

void TstConfigProgram::secondStartRefused()
{
    Bench b;
    int nested = -1;
    ResetOutcome nestedReset = ResetOutcome::Sent;
    // A second start (and a reset) from inside the first run's waits.
    b.controller->onLine = [&](const QByteArray &line) {
        if (line == "X029125000500000") {
            RecordedPanes other;
            ProgramContext c{b.rig.state, b.rig.link, b.settings, other, b.rig.ui};
            nested = static_cast<int>(do_program(c));
            nestedReset = do_reset(c);
            QCOMPARE(other.clears, 0);
        }
    };
    QCOMPARE(b.run(), RunOutcome::Complete);
    QCOMPARE(nested, static_cast<int>(RunOutcome::Busy));
    QCOMPARE(nestedReset, ResetOutcome::Busy);
    QCOMPARE(b.controller->lines.count("x"), 1);
    QVERIFY(!b.rig.state.linkBusy);  // released at the end
}

void TstConfigProgram::quittingUnwindsQuietly()
{
    Bench b;
    b.controller->silentPrefix = "X010";
    b.rig.waiter.after(wire::Ms{100}, [&b] { b.rig.waiter.requestQuit(); });
    QCOMPARE(b.run(), RunOutcome::Quit);
    QVERIFY(!b.panes.left.lines.contains(QStringLiteral("Error 010")));
    QVERIFY(b.rig.ui.messages.isEmpty());
    QVERIFY(b.rig.ui.questions.isEmpty());
}

void TstConfigProgram::reset_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<bool>("open");
    QTest::newRow("serial") << false << true;
    QTest::newRow("tcp") << true << true;
    QTest::newRow("closed link") << false << false;
}

void TstConfigProgram::reset()
{
    QFETCH(bool, tcp);
    Bench b(tcp);
    b.panes.left.append(QStringLiteral("old"));
    const bool open = FETCHED(bool, open);
    if (!open)
        b.rig.link.DisconnectLink();
    b.rig.peer().writes.clear();
    QCOMPARE(b.reset(), open ? ResetOutcome::Sent : ResetOutcome::SendFailed);
    QCOMPARE(b.panes.clears, 1);
    if (open) {
        QCOMPARE(b.rig.peer().written(), QByteArray("\0U1\r", 4));  // no wake-up first
        QCOMPARE(b.panes.left.lines, (QStringList{"Resetting Controller", "Reset Complete"}));
    } else {
        QCOMPARE(b.panes.left.lines, QStringList{"Resetting Controller"});
    }
    QVERIFY(b.panes.right.lines.isEmpty());
}

void TstConfigProgram::leadingNumber_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("value");  // 99999: outside 16 bits
    QTest::newRow("plain") << QByteArray("18") << 18;
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("letters") << QByteArray("abc") << 0;
    QTest::newRow("spaces inside") << QByteArray(" 1\t2\n3") << 123;
    QTest::newRow("stops at other") << QByteArray("12a4") << 12;
    QTest::newRow("negative") << QByteArray("-5") << -5;
    QTest::newRow("plus") << QByteArray("+7") << 7;
    QTest::newRow("half to even down") << QByteArray("2.5") << 2;
    QTest::newRow("half to even up") << QByteArray("3.5") << 4;
    QTest::newRow("exponent") << QByteArray("1E2") << 100;
    QTest::newRow("dangling exponent") << QByteArray("18E") << 18;
    QTest::newRow("carriage return stops") << QByteArray("1\r2") << 1;
    QTest::newRow("largest") << QByteArray("32767") << 32767;
    QTest::newRow("smallest") << QByteArray("-32768") << -32768;
    QTest::newRow("one above") << QByteArray("32768") << 99999;
    QTest::newRow("one below") << QByteArray("-32769") << 99999;
    QTest::newRow("huge") << QByteArray(400, '9') << 99999;
    QTest::newRow("huge exponent") << QByteArray("1E999") << 99999;
    QTest::newRow("only sign") << QByteArray("-") << 0;
    QTest::newRow("tiny") << QByteArray("1E-999") << 0;
    QTest::newRow("huge negative exponent sign") << QByteArray("-1E999") << 99999;
    QTest::newRow("only point") << QByteArray(".") << 0;
    // Beyond a double's range both ways: the first significant digit decides.
    QTest::newRow("tiny without exponent") << QByteArray("0." + QByteArray(400, '0') + "1") << 0;
    QTest::newRow("negative tiny without exponent") << QByteArray("-0." + QByteArray(400, '0') + "7") << 0;
    QTest::newRow("long number, small negative exponent") << QByteArray(QByteArray(400, '9') + "E-50") << 99999;
    QTest::newRow("long fraction, exponent brings it back") << QByteArray("0." + QByteArray(400, '0') + "5E401") << 5;
    QTest::newRow("exponent beyond 64 bits") << QByteArray("1E99999999999999999999") << 99999;
    QTest::newRow("negative exponent beyond 64 bits") << QByteArray("1E-99999999999999999999") << 0;
}

void TstConfigProgram::leadingNumber()
{
    QFETCH(QByteArray, text);
    const int value = FETCHED(int, value);
    const auto got = leadingNumber16(text);
    if (value == 99999)
        QVERIFY(!got);
    else
        QCOMPARE(got, std::optional<qint16>(static_cast<qint16>(value)));
}

QTEST_GUILESS_MAIN(TstConfigProgram)
#include "tst_config_program.moc"
