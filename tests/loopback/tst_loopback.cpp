#include "loopback/loopbacktest.h"
#include "tests/common/fakerig.h"
#include "tests/common/rows.h"

#include <QTest>

using wire::Ms;

namespace {

// A controller in echo mode on the fake stream: after the wake-up and "*"
// every byte comes back after 1 ms, unless a case bends it (another reply, or
// the same byte late).
struct EchoPeer {
    testing::FakeRig &rig;
    bool echoing = false;
    QByteArray seen;
    int bentValue = -1;
    QByteArray bentEcho;
    Ms bentDelay{1};

    explicit EchoPeer(testing::FakeRig &r) : rig(r)
    {
        rig.peer().onWrite = [this](const QByteArray &bytes) {
            for (const char c : bytes) {
                if (echoing) {
                    const bool bent = static_cast<quint8>(c) == bentValue;
                    if (!bent || !bentEcho.isEmpty())
                        rig.peer().deliver(bent ? bentEcho : QByteArray(1, c), bent ? bentDelay : Ms(1));
                    continue;
                }
                seen.append(c);
                echoing = seen.endsWith(loopback::kWakeup + loopback::kStartMarker);
            }
        };
    }
};

bool open(testing::FakeRig &rig, bool tcp) { return tcp ? rig.connectTcp() : rig.connectSerial(); }

} // namespace

class TstLoopback : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A clean echo run to its end or stopped; the progress caption is emptied at
    // the start, then shows the count every 1000th character on serial, every
    // character over TCP.
    void cleanEcho_data()
    {
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<int>("stopAt"); // -1: all the default passes
        QTest::addColumn<int>("captions");
        QTest::newRow("serial, whole run") << false << -1 << 1 + 512;
        QTest::newRow("tcp, stopped") << true << 300 << 1 + 300;
    }

    void cleanEcho()
    {
        QFETCH(bool, tcp);
        QFETCH(int, stopAt);
        testing::FakeRig rig;
        QVERIFY(open(rig, tcp));
        EchoPeer peer(rig);
        testing::Recorder progress;
        loopback::LoopbackTest test(rig.link, rig.ui, progress);
        std::optional<loopback::Outcome> nested;
        rig.waiter.setOnPass([&] {
            if (!nested && test.charactersSent() == 10)
                nested = test.run(); // "Start" clicked again inside a wait
            if (test.charactersSent() == stopAt)
                test.requestStop();
        });
        QCOMPARE(test.run(), stopAt < 0 ? loopback::Outcome::Completed : loopback::Outcome::Stopped);
        QCOMPARE(nested, loopback::Outcome::Refused);
        const int sent = stopAt < 0 ? 512000 : stopAt;
        QCOMPARE(rig.ui.lines,
                 QStringList({loopback::startLine(tcp ? wire::Pacing::Network : wire::Pacing::Line),
                              QStringLiteral(" %1: end of test").arg(sent)}));
        QCOMPARE(progress.statuses.constFirst(), QString());
        QCOMPARE(progress.statuses.size(), FETCHED(int, captions));
        QCOMPARE(progress.status(), QStringLiteral("Characters Sent:  %1").arg(sent));
        // Wake-up as one write, then "*", then the values one write each.
        QCOMPARE(rig.peer().writes.at(0), QByteArray("\x00\x1b\r\x00\x1b\r", 6));
        QCOMPARE(rig.peer().writes.at(1), QByteArray("*"));
        QCOMPARE(rig.peer().writes.size(), 2 + sent);
        QCOMPARE(rig.peer().writes.at(2 + 65), QByteArray("A"));
        QVERIFY(!rig.link.busy());
    }

    // Two passes with one value bent each time: the lines listed between the
    // start and the end line.
    void faults_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QByteArray>("echo"); // empty: none
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<QStringList>("lines");
        const QString bad64 = QStringLiteral(" %1: bad echo, expected 40 received 41");
        const QString bad255 = QStringLiteral(" %1: bad echo, expected FF received 0");
        QTest::newRow("64 as 65") << 64 << QByteArray("A") << 1 << QStringList{bad64.arg(65), bad64.arg(321)};
        QTest::newRow("255 as 0") << 255 << QByteArray(1, '\0') << 1 << QStringList{bad255.arg(256), bad255.arg(512)};
        QTest::newRow("7 dropped") << 7 << QByteArray() << 1 << QStringList{" 8: timeout", " 264: timeout"};
        // The late echo lands in a later character's wait and costs that one
        // character; dropped there, it does not make every later wait time out.
        QTest::newRow("late echo does not cascade")
            << 10 << QByteArray("\n") << 1050
            << QStringList{" 11: timeout", " 61: timeout", " 267: timeout", " 317: timeout"};
    }

    void faults()
    {
        QFETCH(QStringList, lines);
        testing::FakeRig rig;
        QVERIFY(rig.connectSerial());
        EchoPeer peer(rig);
        peer.bentValue = FETCHED(int, value);
        peer.bentEcho = FETCHED(QByteArray, echo);
        peer.bentDelay = Ms(FETCHED(int, delayMs));
        testing::Recorder progress;
        loopback::LoopbackTest test(rig.link, rig.ui, progress);
        QCOMPARE(test.run(2), loopback::Outcome::Completed);
        QCOMPARE(rig.ui.lines,
                 QStringList{loopback::startLine(wire::Pacing::Line)} + lines + QStringList{" 512: end of test"});
    }

    // No echo at all: each line with the virtual time it was listed at.
    void noEcho_data()
    {
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<QString>("event"); // stop after the 4th character, drop, close or quit
        QTest::addColumn<int>("atMs");
        QTest::addColumn<QStringList>("lines");
        // The lines after the start line, separated by '|'.
        const auto row = [](const char *name, bool tcp, const char *event, int atMs, const char *rest) {
            QStringList lines{"0 " + loopback::startLine(tcp ? wire::Pacing::Network : wire::Pacing::Line)};
            if (*rest)
                lines += QString::fromLatin1(rest).split(QLatin1Char('|'));
            QTest::newRow(name) << tcp << event << atMs << lines;
        };
        row("serial, one time-out per character", false, "stop", 0,
            "3000  1: timeout|4000  2: timeout|5000  3: timeout|6000  4: timeout|6000  4: end of test");
        row("tcp, one time-out per character", true, "stop", 0,
            "10000  1: timeout|15000  2: timeout|20000  3: timeout|25000  4: timeout|25000  4: end of test");
        // A lost link ends the test at once, not at the next time-out.
        row("serial drops mid-run", false, "drop", 2500, "2500 Disconnected|2500  1: end of test");
        row("tcp drops mid-run", true, "drop", 5500, "5500 Disconnected|5500  1: end of test");
        row("serial drops while settling", false, "drop", 500, "500 Disconnected|500  0: end of test");
        row("serial closed at start", false, "close", 0, "0 Disconnected|0  0: end of test");
        row("tcp closed at start", true, "close", 0, "0 Disconnected|0  0: end of test");
        row("quitting unwinds quietly", false, "quit", 2500, "");
    }

    void noEcho()
    {
        QFETCH(bool, tcp);
        QFETCH(QString, event);
        QFETCH(int, atMs);
        QFETCH(QStringList, lines);
        testing::FakeRig rig;
        QVERIFY(open(rig, tcp));
        if (event == "close" && tcp)
            rig.tcp.close();
        else if (event == "close")
            rig.serial.close();
        else if (event == "drop" && tcp)
            rig.tcp.dropAfter(Ms(atMs));
        else if (event == "drop")
            rig.serial.dropAfter(Ms(atMs));
        else if (event == "quit")
            rig.waiter.after(Ms(atMs), [&] { rig.waiter.requestQuit(); });
        testing::Recorder progress;
        loopback::LoopbackTest test(rig.link, rig.ui, progress);
        const Ms start = rig.waiter.now();
        QStringList listed;
        auto note = [&] {
            while (listed.size() < rig.ui.lines.size())
                listed << QString::number((rig.waiter.now() - start).count()) + ' ' + rig.ui.lines.at(listed.size());
        };
        rig.waiter.setOnPass([&] {
            note();
            if (event == "stop" && test.charactersSent() == 4)
                test.requestStop();
        });
        const auto outcome = test.run();
        note();
        QCOMPARE(listed, lines);
        QCOMPARE(outcome,
                 event == "stop"       ? loopback::Outcome::Stopped
                     : event == "quit" ? loopback::Outcome::Quitting
                                       : loopback::Outcome::LinkLost);
        QVERIFY(rig.ui.messages.isEmpty());
        QVERIFY(!rig.link.busy());
    }
};

QTEST_GUILESS_MAIN(TstLoopback)
#include "tst_loopback.moc"
