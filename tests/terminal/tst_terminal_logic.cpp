#include "terminal/grid.h"
#include "terminal/session.h"
#include "terminal/sessionlog.h"
#include "tests/common/fakerig.h"
#include "tests/common/files.h"
#include "tests/common/rows.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace terminal;
using wire::Ms;

namespace {
// A terminal session on a fake link.
struct Term {
    testing::FakeRig rig;
    testing::Recorder status;
    Session s{rig.state, rig.link, status};
};
} // namespace

class TstTerminalLogic : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Received bytes drawn in order: the text of the row written last ("[0D]"
    // for a hex cell), the next position and how often the display was cleared.
    void drawing_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("clears");
        QTest::newRow("A B CR LF C") << QByteArray("AB\r\nC") << "AB[0D][0A]C" << 6 << 1 << 0;
        QTest::newRow("tilde, 200, space") << QByteArray("~\xc8 x") << "[7E][C8] x" << 5 << 1 << 0;
        QTest::newRow("form boundaries") << QByteArray("\x00\x1f }~\x7f\x80\xff", 8) << "[00][1F] }[7E][7F][80][FF]"
                                         << 9 << 1 << 0;
        // The column is resolved only before the next character.
        QTest::newRow("39th stays on row 1") << QByteArray(38, 'a') + 'b' << QString(38, 'a') + 'b' << 40 << 1 << 0;
        QTest::newRow("40th starts row 2") << QByteArray(39, 'a') + 'b' << "b" << 2 << 2 << 0;
        QTest::newRow("858 fill 22 rows") << QByteArray(858, 'z') << QString(39, 'z') << 40 << 22 << 0;
        QTest::newRow("859th clears first") << QByteArray(858, 'z') + 'Q' << "Q" << 2 << 1 << 1;
    }

    void drawing()
    {
        QFETCH(int, column);
        QFETCH(int, row);
        Grid g;
        int cleared = 0;
        g.onCleared = [&] { ++cleared; };
        g.draw(FETCHED(QByteArray, input), Ink::Received);
        QCOMPARE(g.rowText(row).trimmed(), FETCHED(QString, text));
        QCOMPARE(g.column(), column);
        QCOMPARE(g.row(), row);
        QCOMPARE(cleared, FETCHED(int, clears));
        for (int r = 1; r <= kRows; ++r) // nothing else drawn, nothing left from before a clear
            QCOMPARE(g.rowText(r).trimmed().isEmpty(), r > row);
        for (int c = 1; c < column; ++c)
            QCOMPARE(g.cell(c, row).ink, Ink::Received);
    }

    // Entering over each transport, receiving until stopped or until the link is lost.
    void session_data()
    {
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<bool>("drop");
        for (const bool drop : {false, true})
            for (const bool tcp : {false, true})
                QTest::addRow("%s, %s", tcp ? "tcp" : "serial", drop ? "link lost" : "stopped") << tcp << drop;
    }

    void session()
    {
        QFETCH(bool, tcp);
        QFETCH(bool, drop);
        Term t;
        auto &rig = t.rig;
        if (tcp) {
            rig.comm.ipAddress = QStringLiteral("  10.0.0.7 ");
            rig.comm.tcpPort = QStringLiteral(" 57 ");
        }
        QVERIFY(tcp ? rig.connectTcp() : rig.connectSerial());
        t.s.grid().draw(QByteArray("old"), Ink::Received);
        rig.state.terminalStop = true; // left over from an earlier stop: entry clears it
        rig.peer().deliver("AB\r", Ms(100));
        rig.peer().deliver("\nC", Ms(200));
        const Ms start = rig.waiter.now();
        int passes = 0; // idle for ten minutes the loop wakes about once a minute; it does not poll
        rig.waiter.setOnPass([&] { ++passes; });
        if (drop && tcp) {
            rig.tcp.dropAfter(Ms(500));
        } else if (drop) {
            rig.serial.dropAfter(Ms(500));
        } else {
            rig.waiter.after(Ms(600000), [&] {
                QVERIFY(rig.link.busy()); // the loop holds the link
                rig.state.terminalStop = true;
            });
        }
        QCOMPARE(t.s.enter(), drop ? LoopEnd::LinkLost : LoopEnd::Stopped);
        QCOMPARE(t.status.statuses.value(0), tcp ? "Connected to 10.0.0.7 Port 57" : "Connected to comm port 2");
        rig.comm.device = QStringLiteral("/dev/ttyUSB0");
        QCOMPARE(rig.link.terminalCaption(),
                 tcp ? "Connected to 10.0.0.7 Port 57" : QStringLiteral("Connected to /dev/ttyUSB0"));
        // A serial line behind a device server is named by the server's address.
        rig.comm.mode = wire::CommSettings::Mode::Rfc2217;
        QCOMPARE(rig.link.terminalCaption(),
                 QStringLiteral("Connected to %1 Port 57").arg(rig.comm.ipAddress.trimmed()));
        rig.comm.mode = tcp ? wire::CommSettings::Mode::Tcp : wire::CommSettings::Mode::Serial;
        QCOMPARE(rig.state.terminalTcp, tcp);
        QCOMPARE(t.s.grid().rowText(1).trimmed(), QStringLiteral("AB[0D][0A]C"));
        for (int c = 1; c <= 5; ++c)
            QCOMPARE(t.s.grid().cell(c, 1).ink, Ink::Received);
        QVERIFY(!rig.link.busy());
        if (drop) { // ended at the drop, with the caption showing it
            QCOMPARE(rig.waiter.now() - start, Ms(500));
            QCOMPARE(t.status.status(), QStringLiteral("Disconnected"));
            QCOMPARE(rig.link.statusCaption(), QStringLiteral("Disconnected"));
            return;
        }
        QCOMPARE(rig.waiter.now() - start, Ms(600000));
        QVERIFY2(passes <= 30, qPrintable(QString::number(passes)));
        QCOMPARE(t.status.statuses.size(), 1);
        // Bytes arriving after the stop stay for whoever uses the link next.
        rig.peer().deliver("late", Ms(0));
        rig.waiter.advance(Ms(1));
        QCOMPARE(rig.link.io().bytesAvailable(), 4);
        QCOMPARE(t.s.grid().rowText(1).trimmed(), QStringLiteral("AB[0D][0A]C"));
    }

    void floodIsDrawnInPiecesWithEventsBetween()
    {
        Term t;
        QVERIFY(t.rig.connectSerial());
        const QByteArray flood(3 * Session::kChunk + 5, 'x');
        t.rig.peer().deliver(flood, Ms(1));
        int passesWithBytesWaiting = 0;
        t.rig.waiter.setOnPass([&] {
            if (t.rig.serial.bytesAvailable() > 0)
                ++passesWithBytesWaiting;
            if (t.s.log().bytesHeld() == flood.size())
                t.rig.state.terminalStop = true;
        });
        QCOMPARE(t.s.enter(), LoopEnd::Stopped);
        QVERIFY(passesWithBytesWaiting >= 3); // events were handled between the pieces
        QCOMPARE(t.s.grid().column() + (t.s.grid().row() - 1) * kColumns - 1, int(flood.size() % 858));
    }

    void refusedWhileLinkBusy()
    {
        Term t;
        QVERIFY(t.rig.connectSerial());
        wire::LinkClaim other(t.rig.link);
        QCOMPARE(t.s.enter(), LoopEnd::Refused);
        QVERIFY(t.status.statuses.isEmpty());
        // Keys typed meanwhile must not slip into the other operation's exchange.
        QVERIFY(!t.s.character('A'));
        QVERIFY(t.rig.serial.stream.writes.isEmpty());
    }

    // Both directions, one chunk per direction and millisecond, the newest kept
    // within the limit.
    void logFormatAndLimit()
    {
        qint64 t = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7, 89)).toMSecsSinceEpoch();
        SessionLog log([&] { return t; }, 30);
        log.record(Direction::Received, QByteArray("dropped"));
        log.record(Direction::Sent, 'V');
        log.record(Direction::Sent, '\r');
        t += 12;
        log.record(Direction::Received, QByteArray("5200 Series Controller\r"));
        const LogSnapshot snap = log.snapshot();
        QCOMPARE(snap.chunks.size(), 3);
        const QList<QByteArray> lines = SessionLog::format(snap).split('\n');
        QVERIFY(lines.at(1).startsWith("# 2 earlier bytes were dropped"));
        QCOMPARE(lines.at(2),
                 "2026-03-04 05:06:07.089 RX " + QByteArray("6F 70 70 65 64").leftJustified(47) + "  |opped|");
        QCOMPARE(lines.at(3), "2026-03-04 05:06:07.089 TX " + QByteArray("56 0D").leftJustified(47) + "  |V.|");
        QCOMPARE(lines.at(4),
                 QByteArray("2026-03-04 05:06:07.101 RX 35 32 30 30 20 53 65 72 69 65 73 20 43 6F 6E 74  "
                            "|5200 Series Cont|"));
        QCOMPARE(lines.at(5),
                 "2026-03-04 05:06:07.101 RX " + QByteArray("72 6F 6C 6C 65 72 0D").leftJustified(47) + "  |roller.|");
    }

    void logSaves()
    {
        QTemporaryDir dir;
        SessionLog log([] { return qint64(0); });
        log.record(Direction::Received, QByteArray(100000, 'r'));
        LogSaver saver;
        QSignalSpy done(&saver, &LogSaver::finished);
        const QString path = dir.filePath(QStringLiteral("t.log"));
        QVERIFY(saver.save(log.snapshot(), path));
        QVERIFY(!saver.save(log.snapshot(), path)); // one save at a time
        log.record(Direction::Sent, 'x');           // recording goes on meanwhile
        QVERIFY(done.wait(10000));
        QCOMPARE(done.at(0).at(0).toBool(), true);
        const QByteArray text = testing::readFile(path);
        QCOMPARE(text.count(".000 RX "), 100000 / 16);
        QVERIFY(!text.contains(".000 TX ")); // recorded after the snapshot
        // A path that cannot be written is reported, with a reason.
        QVERIFY(saver.save(LogSnapshot{}, QStringLiteral("/nonexistent-dir/x/t.log")));
        QVERIFY(done.wait(10000));
        QCOMPARE(done.at(1).at(0).toBool(), false);
        QVERIFY(!done.at(1).at(1).toString().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstTerminalLogic)
#include "tst_terminal_logic.moc"
