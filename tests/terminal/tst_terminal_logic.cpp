#include "terminal/grid.h"
#include "terminal/keyboard.h"
#include "terminal/session.h"
#include "terminal/sessionlog.h"
#include "tests/common/fakerig.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace terminal;
using wire::Ms;

namespace {
QByteArray bytes(std::initializer_list<int> codes)
{
    QByteArray b;
    for (int c : codes)
        b.append(static_cast<char>(c));
    return b;
}
} // namespace

class TstTerminalLogic : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void drawing_data();
    void drawing();
    void wrapAndClear();
    void forms_data();
    void forms();
    void altCodes_data();
    void altCodes();
    void keyboardSequences_data();
    void keyboardSequences();

    void entrySteps_data();
    void entrySteps();
    void receivesInRedUntilStopped_data();
    void receivesInRedUntilStopped();
    void floodIsDrawnInPiecesWithEventsBetween();
    void linkLostEndsLoop_data();
    void linkLostEndsLoop();
    void idleLoopSleeps();
    void refusedWhileLinkBusy();
    void stopLeavesLaterBytesWaiting();

    void logRecordsBothDirections();
    void logKeepsNewestWithinLimit();
    void logSavesInBackground();
    void logSaveFailureReported();
};

// Received bytes drawn in order; the rows as text ("[0D]" for a hex cell).
void TstTerminalLogic::drawing_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("row1");
    QTest::addColumn<int>("column");
    QTest::newRow("A B CR LF C") << bytes({'A', 'B', 13, 10, 'C'}) << "AB[0D][0A]C" << 6;
    QTest::newRow("tilde, 200, space") << bytes({126, 200, 32, 'x'}) << "[7E][C8] x" << 5;
    QTest::newRow("NUL and 128") << bytes({0, 128}) << "[00][80]" << 3;
    QTest::newRow("closing brace as itself") << bytes({125, 127}) << "}[7F]" << 3;
}

void TstTerminalLogic::drawing()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, row1);
    QFETCH(int, column);
    Grid g;
    g.draw(input, Ink::Received);
    QCOMPARE(g.rowText(1).trimmed(), row1);
    QCOMPARE(g.column(), column);
    QCOMPARE(g.row(), 1);
    for (int c = 1; c < column; ++c)
        QCOMPARE(g.cell(c, 1).ink, Ink::Received);
}

void TstTerminalLogic::wrapAndClear()
{
    Grid g;
    int clears = 0;
    g.onCleared = [&] { ++clears; };
    g.draw(QByteArray(38, 'a'), Ink::Received);
    g.draw('b', Ink::Sent);  // the 39th: still on row 1
    QCOMPARE(g.cell(39, 1).code, quint8('b'));
    QCOMPARE(g.cell(39, 1).ink, Ink::Sent);
    QCOMPARE(g.column(), 40);  // resolved only before the next character
    g.draw('c', Ink::Received);  // the 40th goes to row 2, column 1
    QCOMPARE(g.cell(1, 2).code, quint8('c'));
    QCOMPARE(g.row(), 2);
    QCOMPARE(g.column(), 2);

    Grid full;
    full.onCleared = [&] { ++clears; };
    full.draw(QByteArray(858, 'z'), Ink::Received);  // 22 full rows
    QCOMPARE(clears, 0);
    QCOMPARE(full.cell(39, 22).code, quint8('z'));
    full.draw('Q', Ink::Received);  // the 859th clears the display first
    QCOMPARE(clears, 1);
    QCOMPARE(full.rowText(1).trimmed(), QStringLiteral("Q"));
    QVERIFY(!full.cell(2, 1).used);
    QVERIFY(!full.cell(39, 22).used);
    QCOMPARE(full.column(), 2);
    QCOMPARE(full.row(), 1);
}

void TstTerminalLogic::forms_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QString>("digits");
    QTest::newRow("31") << 31 << true << "1F";
    QTest::newRow("32 space") << 32 << false << "20";
    QTest::newRow("125") << 125 << false << "7D";
    QTest::newRow("126 tilde") << 126 << true << "7E";
    QTest::newRow("255") << 255 << true << "FF";
    QTest::newRow("10") << 10 << true << "0A";
}

void TstTerminalLogic::forms()
{
    QFETCH(int, code);
    QFETCH(bool, hex);
    QFETCH(QString, digits);
    QCOMPARE(!Grid::drawnAsItself(quint8(code)), hex);
    QCOMPARE(Grid::hexText(quint8(code)), digits);
    Grid g;
    g.draw(quint8(code), Ink::Received);
    QCOMPARE(g.cell(1, 1).hex, hex);
}

void TstTerminalLogic::altCodes_data()
{
    QTest::addColumn<QString>("digits");
    QTest::addColumn<int>("value");  // -1: nothing sent
    QTest::newRow("empty is NUL") << "" << 0;
    QTest::newRow("65") << "65" << 65;
    QTest::newRow("leading zeros") << "0065" << 65;
    QTest::newRow("255") << "255" << 255;
    QTest::newRow("256") << "256" << -1;
    QTest::newRow("long") << "99999999999999999999999" << -1;
    QTest::newRow("many zeros then 7") << QString(40, QLatin1Char('0')) + QStringLiteral("7") << 7;
    QTest::newRow("not digits") << "6a" << -1;
}

void TstTerminalLogic::altCodes()
{
    QFETCH(QString, digits);
    QFETCH(int, value);
    const auto v = altCodeValue(digits);
    QCOMPARE(v.has_value(), value >= 0);
    if (v)
        QCOMPARE(int(*v), value);
}

// Event sequences through the keyboard rules: "d" key-down, "u" key-up, "c"
// character; the bytes produced in order.
void TstTerminalLogic::keyboardSequences_data()
{
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QByteArray>("produced");
    QTest::newRow("F10, F9") << QStringList{"d121", "u121", "d120", "u120"} << bytes({0, 128});
    QTest::newRow("Alt 6 5 numlock on, system char swallowed")
        << QStringList{"d18", "d102", "u102", "d101", "u101", "u18", "cA", "cB"} << QByteArray("AB");
    QTest::newRow("Alt 6 5 numlock off") << QStringList{"d18", "d39", "d12", "u18", "cA"} << QByteArray("A");
    QTest::newRow("Alt 2 5 6 dropped, nothing swallowed")
        << QStringList{"d18", "d98", "d101", "d102", "u18", "cx"} << QByteArray("x");
    QTest::newRow("Alt alone sends NUL, swallows next") << QStringList{"d18", "u18", "cq", "cr"} << bytes({0, 'r'});
    QTest::newRow("letters while Alt held are eaten") << QStringList{"d18", "d65", "u18"} << bytes({0});
    QTest::newRow("F10 while Alt held is a no-digit key") << QStringList{"d18", "d121", "d97", "u18"} << bytes({1});
    QStringList heldZero{"d18"};
    for (int i = 0; i < 70; ++i)
        heldZero << "d96";  // keypad 0 held down and repeating
    QTest::newRow("Alt, 70 repeated zeros, 6 5") << (heldZero + QStringList{"d102", "d101", "u18"}) << QByteArray("A");
    QTest::newRow("Alt, 70 repeated zeros, 2 5 6")
        << (heldZero + QStringList{"d98", "d101", "d102", "u18", "cx"}) << QByteArray("x");
    QTest::newRow("Alt down again restarts digits")
        << QStringList{"d18", "d99", "d18", "d103", "u18"} << QByteArray("\x07", 1);
}

void TstTerminalLogic::keyboardSequences()
{
    QFETCH(QStringList, events);
    QFETCH(QByteArray, produced);
    Keyboard kb;
    QByteArray out;
    for (const QString &e : events) {
        KeyAction a;
        const QString arg = e.mid(1);
        if (e.startsWith(QLatin1Char('d')))
            a = kb.keyDown(arg.toInt());
        else if (e.startsWith(QLatin1Char('u')))
            a = kb.keyUp(arg.toInt());
        else
            a = kb.character(arg.at(0).unicode());
        if (a.byte)
            out.append(static_cast<char>(*a.byte));
    }
    QCOMPARE(out.toHex(' '), produced.toHex(' '));
}

void TstTerminalLogic::entrySteps_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<QString>("caption");
    QTest::newRow("serial port 2") << false << "Connected to comm port 2";
    QTest::newRow("tcp, blanks trimmed") << true << "Connected to 10.0.0.7 Port 57";
}

void TstTerminalLogic::entrySteps()
{
    QFETCH(bool, tcp);
    QFETCH(QString, caption);
    testing::FakeRig rig;
    if (tcp) {
        wire::setIpText(rig.comm, rig.state, QStringLiteral("  10.0.0.7 "));
        wire::setPortText(rig.comm, rig.state, QStringLiteral(" 57 "));
    }
    QVERIFY(tcp ? rig.connectTcp() : rig.connectSerial());
    testing::Recorder status;
    Session s(rig.state, rig.link, rig.comm, status);
    s.grid().draw(QByteArray("old"), Ink::Received);
    rig.state.terminalStop = true;  // left over from an earlier stop: entry clears it
    rig.waiter.after(Ms(10), [&] {
        QVERIFY(rig.state.linkBusy);  // the loop holds the link
        rig.state.terminalStop = true;
    });
    QCOMPARE(s.enter(), LoopEnd::Stopped);
    QCOMPARE(status.statuses, QStringList{caption});
    QCOMPARE(rig.state.terminalTcp, tcp);
    QVERIFY(!s.grid().cell(1, 1).used);
    QCOMPARE(s.grid().column(), 1);
    QVERIFY(!rig.state.linkBusy);
}

void TstTerminalLogic::receivesInRedUntilStopped_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::newRow("serial") << false;
    QTest::newRow("tcp") << true;
}

void TstTerminalLogic::receivesInRedUntilStopped()
{
    QFETCH(bool, tcp);
    testing::FakeRig rig;
    QVERIFY(tcp ? rig.connectTcp() : rig.connectSerial());
    testing::Recorder status;
    Session s(rig.state, rig.link, rig.comm, status);
    rig.peer().deliver(bytes({'A', 'B', 13}), Ms(100));
    rig.peer().deliver(bytes({10, 'C'}), Ms(200));
    rig.waiter.after(Ms(1000), [&] { rig.state.terminalStop = true; });
    QCOMPARE(s.enter(), LoopEnd::Stopped);
    QCOMPARE(s.grid().rowText(1).trimmed(), QStringLiteral("AB[0D][0A]C"));
    for (int c = 1; c <= 5; ++c)
        QCOMPARE(s.grid().cell(c, 1).ink, Ink::Received);
    QCOMPARE(rig.waiter.now(), Ms(1000 + (tcp ? 10 : 0)));
}

void TstTerminalLogic::floodIsDrawnInPiecesWithEventsBetween()
{
    testing::FakeRig rig;
    QVERIFY(rig.connectSerial());
    testing::Recorder status;
    Session s(rig.state, rig.link, rig.comm, status);
    const QByteArray flood(3 * Session::kChunk + 5, 'x');
    rig.peer().deliver(flood, Ms(1));
    int passesWithBytesWaiting = 0;
    rig.waiter.setOnPass([&] {
        if (rig.serial.bytesAvailable() > 0)
            ++passesWithBytesWaiting;
        if (s.log().bytesHeld() == flood.size())
            rig.state.terminalStop = true;
    });
    QCOMPARE(s.enter(), LoopEnd::Stopped);
    // Events were handled between the pieces, not only after the flood.
    QVERIFY(passesWithBytesWaiting >= 3);
    QCOMPARE(s.log().bytesHeld(), flood.size());
    QCOMPARE(s.grid().column() + (s.grid().row() - 1) * kColumns - 1, int(flood.size() % 858));
}

void TstTerminalLogic::linkLostEndsLoop_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::newRow("serial adapter pulled") << false;
    QTest::newRow("tcp peer closed") << true;
}

void TstTerminalLogic::linkLostEndsLoop()
{
    QFETCH(bool, tcp);
    testing::FakeRig rig;
    QVERIFY(tcp ? rig.connectTcp() : rig.connectSerial());
    testing::Recorder status;
    Session s(rig.state, rig.link, rig.comm, status);
    if (tcp)
        rig.tcp.dropAfter(Ms(500));
    else
        rig.serial.dropAfter(Ms(500));
    const Ms start = rig.waiter.now();
    QCOMPARE(s.enter(), LoopEnd::LinkLost);
    QCOMPARE(rig.waiter.now() - start, Ms(500));
    QCOMPARE(status.status(), QStringLiteral("Disconnected"));
    QCOMPARE(rig.link.statusCaption(), QStringLiteral("Disconnected"));
    QVERIFY(!rig.state.linkBusy);
}

// Ten idle minutes: the loop wakes about once a minute, it does not poll.
void TstTerminalLogic::idleLoopSleeps()
{
    testing::FakeRig rig;
    QVERIFY(rig.connectSerial());
    testing::Recorder status;
    Session s(rig.state, rig.link, rig.comm, status);
    int passes = 0;
    rig.waiter.setOnPass([&] { ++passes; });
    rig.waiter.after(Ms(600000), [&] { rig.state.terminalStop = true; });
    QCOMPARE(s.enter(), LoopEnd::Stopped);
    QVERIFY2(passes <= 25, qPrintable(QString::number(passes)));
}

void TstTerminalLogic::refusedWhileLinkBusy()
{
    testing::FakeRig rig;
    QVERIFY(rig.connectSerial());
    testing::Recorder status;
    Session s(rig.state, rig.link, rig.comm, status);
    core::LinkClaim other(rig.state);
    QCOMPARE(s.enter(), LoopEnd::Refused);
    QVERIFY(status.statuses.isEmpty());
    // Keys typed meanwhile must not slip into the other operation's exchange.
    QVERIFY(!s.character('A'));
    QVERIFY(rig.serial.stream.writes.isEmpty());
}

void TstTerminalLogic::stopLeavesLaterBytesWaiting()
{
    testing::FakeRig rig;
    QVERIFY(rig.connectSerial());
    testing::Recorder status;
    Session s(rig.state, rig.link, rig.comm, status);
    rig.waiter.after(Ms(50), [&] { rig.state.terminalStop = true; });
    QCOMPARE(s.enter(), LoopEnd::Stopped);
    rig.peer().deliver("late", Ms(0));
    rig.waiter.advance(Ms(1));
    QCOMPARE(rig.serial.bytesAvailable(), 4);
    QVERIFY(!s.grid().cell(1, 1).used);
}

void TstTerminalLogic::logRecordsBothDirections()
{
    qint64 t = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7, 89)).toMSecsSinceEpoch();
    SessionLog log([&] { return t; });
    log.record(Direction::Sent, 'V');
    log.record(Direction::Sent, '\r');  // same millisecond, same way: one chunk
    t += 12;
    log.record(Direction::Received, QByteArray("5200 Series Controller\r"));
    const LogSnapshot snap = log.snapshot();
    QCOMPARE(snap.chunks.size(), 2);
    QCOMPARE(snap.chunks.at(0).bytes, QByteArray("V\r"));
    const QList<QByteArray> lines = SessionLog::format(snap).split('\n');
    QCOMPARE(lines.at(1), "2026-03-04 05:06:07.089 TX " + QByteArray("56 0D").leftJustified(47) + "  |V.|");
    QCOMPARE(lines.at(2), QByteArray("2026-03-04 05:06:07.101 RX 35 32 30 30 20 53 65 72 69 65 73 20 43 6F 6E 74  |5200 Series Cont|"));
    QCOMPARE(lines.at(3), "2026-03-04 05:06:07.101 RX " + QByteArray("72 6F 6C 6C 65 72 0D").leftJustified(47) + "  |roller.|");
}

void TstTerminalLogic::logKeepsNewestWithinLimit()
{
    qint64 t = 0;
    SessionLog log([&] { return t++; }, 10);
    log.record(Direction::Received, QByteArray("0123456"));
    log.record(Direction::Sent, QByteArray("abcdef"));
    QCOMPARE(log.bytesHeld(), 10);
    QCOMPARE(log.droppedBytes(), 3);
    const LogSnapshot snap = log.snapshot();
    QCOMPARE(snap.chunks.at(0).bytes, QByteArray("3456"));
    QCOMPARE(snap.chunks.at(1).bytes, QByteArray("abcdef"));
    QVERIFY(SessionLog::format(snap).contains("# 3 earlier bytes were dropped"));
}

void TstTerminalLogic::logSavesInBackground()
{
    QTemporaryDir dir;
    SessionLog log([] { return qint64(0); });
    log.record(Direction::Received, QByteArray(100000, 'r'));
    LogSaver saver;
    QSignalSpy done(&saver, &LogSaver::finished);
    const QString path = dir.filePath(QStringLiteral("t.log"));
    QVERIFY(saver.save(log.snapshot(), path));
    QVERIFY(!saver.save(log.snapshot(), path));  // one save at a time
    log.record(Direction::Sent, 'x');            // recording goes on meanwhile
    QVERIFY(done.wait(10000));
    QCOMPARE(done.at(0).at(0).toBool(), true);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    QCOMPARE(text.count(".000 RX "), 100000 / 16 + 0);
    QVERIFY(!text.contains(".000 TX "));  // recorded after the snapshot
    QVERIFY(!saver.busy());
}

void TstTerminalLogic::logSaveFailureReported()
{
    LogSaver saver;
    QSignalSpy done(&saver, &LogSaver::finished);
    QVERIFY(saver.save(LogSnapshot{}, QStringLiteral("/nonexistent-dir/x/t.log")));
    QVERIFY(done.wait(10000));
    QCOMPARE(done.at(0).at(0).toBool(), false);
    QVERIFY(!done.at(0).at(1).toString().isEmpty());
}

QTEST_GUILESS_MAIN(TstTerminalLogic)
#include "tst_terminal_logic.moc"
