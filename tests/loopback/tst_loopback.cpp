#include "loopback/loopbacktest.h"
#include "tests/common/fakerig.h"

#include <QtTest>

using namespace std::chrono_literals;
using wire::Ms;

namespace {

// A controller in echo mode on the fake stream: after the wake-up and "*"
// every byte comes back after a delay, through a filter a case can bend.
struct EchoPeer {
    testing::FakeRig &rig;
    Ms delay{1};
    bool echoing = false;
    QByteArray seen;
    std::function<std::optional<QByteArray>(quint8)> bend;  // no value: echo as is

    explicit EchoPeer(testing::FakeRig &r) : rig(r)
    {
        rig.peer().onWrite = [this](const QByteArray &bytes) {
            for (const char c : bytes) {
                if (!echoing) {
                    seen.append(c);
                    if (seen.endsWith(QByteArray("\x00\x1b\r\x00\x1b\r*", 7)))
                        echoing = true;
                    continue;
                }
                QByteArray back(1, c);
                if (bend)
                    if (auto b = bend(static_cast<quint8>(c)))
                        back = *b;
                if (!back.isEmpty())
                    rig.peer().deliver(back, delay);
            }
        };
    }
};

bool open(testing::FakeRig &rig, bool tcp) { return tcp ? rig.connectTcp() : rig.connectSerial(); }

} // namespace

class TstLoopback : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void texts_data();
    void texts();
    void cleanEchoThenStop_data();
    void cleanEchoThenStop();
    void faults_data();
    void faults();
    void noPeerTimesOutPerCharacter_data();
    void noPeerTimesOutPerCharacter();
    void clearListMidRun();
    void fullRunCountsEveryCharacter();
    void secondStartRefused();
    void linkDropsOrClosed_data();
    void linkDropsOrClosed();
    void lateEchoDoesNotCascade();
    void progressCaption_data();
    void progressCaption();
    void quittingUnwindsQuietly();
};

void TstLoopback::texts_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    QTest::newRow("start serial") << loopback::startLine(false) << "Starting Loopback Test on serial port";
    QTest::newRow("start tcp") << loopback::startLine(true) << "Starting Loopback Test on tcp port";
    QTest::newRow("bad echo") << loopback::badEchoLine(65, 64, 65) << " 65: bad echo, expected 40 received 41";
    QTest::newRow("bad echo hex upper, no zeros") << loopback::badEchoLine(5, 0x0a, 0xff)
                                                  << " 5: bad echo, expected A received FF";
    QTest::newRow("timeout") << loopback::timeoutLine(5) << " 5: timeout";
    QTest::newRow("end") << loopback::endLine(1234) << " 1234: end of test";
    QTest::newRow("end zero") << loopback::endLine(0) << " 0: end of test";
    QTest::newRow("progress") << loopback::progressCaption(1000) << "Characters Sent:  1000";
}

void TstLoopback::texts()
{
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

void TstLoopback::cleanEchoThenStop_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<int>("stopAfter");
    QTest::newRow("serial") << false << 1234;
    QTest::newRow("tcp") << true << 300;
}

void TstLoopback::cleanEchoThenStop()
{
    QFETCH(bool, tcp);
    QFETCH(int, stopAfter);
    testing::FakeRig rig;
    QVERIFY(open(rig, tcp));
    EchoPeer peer(rig);
    testing::Recorder progress;
    loopback::LoopbackTest test(rig.state, rig.link, rig.ui, progress);
    rig.waiter.setOnPass([&] {
        if (test.charactersSent() == stopAfter)
            test.requestStop();
    });
    QCOMPARE(test.run(), loopback::Outcome::Stopped);
    QCOMPARE(rig.ui.lines, QStringList({loopback::startLine(tcp), QStringLiteral(" %1: end of test").arg(stopAfter)}));
    // Wake-up as one write, then "*", then the values one write each.
    QCOMPARE(rig.peer().writes.at(0), QByteArray("\x00\x1b\r\x00\x1b\r", 6));
    QCOMPARE(rig.peer().writes.at(1), QByteArray("*"));
    QCOMPARE(rig.peer().writes.size(), 2 + stopAfter);
    QCOMPARE(rig.peer().writes.at(2 + 65), QByteArray("A"));
    QVERIFY(!rig.state.linkBusy);
}

void TstLoopback::faults_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("echo");
    QTest::addColumn<QStringList>("lines");
    const QStringList bad64{QStringLiteral(" 65: bad echo, expected 40 received 41"),
                            QStringLiteral(" 321: bad echo, expected 40 received 41")};
    QTest::newRow("64 as 65, serial") << false << 64 << QByteArray("A") << bad64;
    QTest::newRow("64 as 65, tcp") << true << 64 << QByteArray("A") << bad64;
    QTest::newRow("255 as 0") << false << 255 << QByteArray(1, '\0')
                              << QStringList{QStringLiteral(" 256: bad echo, expected FF received 0"),
                                             QStringLiteral(" 512: bad echo, expected FF received 0")};
    QTest::newRow("7 dropped") << false << 7 << QByteArray()
                               << QStringList{QStringLiteral(" 8: timeout"), QStringLiteral(" 264: timeout")};
}

void TstLoopback::faults()
{
    QFETCH(bool, tcp);
    QFETCH(int, value);
    QFETCH(QByteArray, echo);
    QFETCH(QStringList, lines);
    testing::FakeRig rig;
    QVERIFY(open(rig, tcp));
    EchoPeer peer(rig);
    peer.bend = [&](quint8 b) -> std::optional<QByteArray> {
        if (b == value)
            return echo;
        return std::nullopt;
    };
    testing::Recorder progress;
    loopback::LoopbackTest test(rig.state, rig.link, rig.ui, progress);
    QCOMPARE(test.run(2), loopback::Outcome::Completed);
    QCOMPARE(rig.ui.lines, QStringList{loopback::startLine(tcp)} + lines + QStringList{" 512: end of test"});
    QCOMPARE(test.badEchoes() + test.timeouts(), 2);
}

void TstLoopback::noPeerTimesOutPerCharacter_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<int>("settleMs");
    QTest::addColumn<int>("perCharMs");
    QTest::newRow("serial") << false << 2000 << 1000;
    QTest::newRow("tcp") << true << 5000 << 5000;
}

void TstLoopback::noPeerTimesOutPerCharacter()
{
    QFETCH(bool, tcp);
    QFETCH(int, settleMs);
    QFETCH(int, perCharMs);
    testing::FakeRig rig;
    QVERIFY(open(rig, tcp));
    testing::Recorder progress;
    loopback::LoopbackTest test(rig.state, rig.link, rig.ui, progress);
    QList<qint64> at;  // virtual time of each time-out line
    const Ms start = rig.waiter.now();
    rig.waiter.setOnPass([&] {
        while (at.size() < rig.ui.lines.size() - 1)
            at.append((rig.waiter.now() - start).count());
        if (test.charactersSent() == 4)
            test.requestStop();
    });
    QCOMPARE(test.run(), loopback::Outcome::Stopped);
    QCOMPARE(rig.ui.lines, (QStringList{loopback::startLine(tcp), " 1: timeout", " 2: timeout", " 3: timeout",
                                        " 4: timeout", " 4: end of test"}));
    QCOMPARE(rig.waiter.now() - start, Ms(settleMs + 4 * perCharMs));
    QCOMPARE(at.mid(0, 3), (QList<qint64>{settleMs + perCharMs, settleMs + 2 * perCharMs, settleMs + 3 * perCharMs}));
}

void TstLoopback::clearListMidRun()
{
    testing::FakeRig rig;
    QVERIFY(rig.connectSerial());
    EchoPeer peer(rig);
    peer.bend = [](quint8 b) -> std::optional<QByteArray> {
        if (b == 64)
            return QByteArray("A");
        return std::nullopt;
    };
    testing::Recorder progress;
    loopback::LoopbackTest test(rig.state, rig.link, rig.ui, progress);
    bool cleared = false;
    rig.waiter.setOnPass([&] {
        if (!cleared && test.charactersSent() == 100) {
            rig.ui.lines.clear();  // "Clear List" clicked during the run
            cleared = true;
        }
    });
    QCOMPARE(test.run(2), loopback::Outcome::Completed);
    QVERIFY(cleared);
    QCOMPARE(rig.ui.lines, (QStringList{" 321: bad echo, expected 40 received 41", " 512: end of test"}));
}

void TstLoopback::fullRunCountsEveryCharacter()
{
    testing::FakeRig rig;
    QVERIFY(rig.connectSerial());
    EchoPeer peer(rig);
    testing::Recorder progress;
    loopback::LoopbackTest test(rig.state, rig.link, rig.ui, progress);
    QCOMPARE(test.run(), loopback::Outcome::Completed);
    QCOMPARE(rig.ui.lines, (QStringList{loopback::startLine(false), " 512000: end of test"}));
    QCOMPARE(progress.statuses.size(), 1 + 512);  // emptied at start, then every 1000th
    QCOMPARE(progress.status(), QStringLiteral("Characters Sent:  512000"));
}

void TstLoopback::secondStartRefused()
{
    testing::FakeRig rig;
    QVERIFY(rig.connectSerial());
    EchoPeer peer(rig);
    testing::Recorder progress;
    loopback::LoopbackTest test(rig.state, rig.link, rig.ui, progress);
    std::optional<loopback::Outcome> nested;
    rig.waiter.setOnPass([&] {
        if (!nested && test.charactersSent() == 10) {
            nested = test.run();  // "Start" clicked again inside a wait
            test.requestStop();
        }
    });
    QCOMPARE(test.run(), loopback::Outcome::Stopped);
    QCOMPARE(nested, loopback::Outcome::Refused);
    QCOMPARE(rig.ui.lines, (QStringList{loopback::startLine(false), " 10: end of test"}));
    // And the link is free again afterwards.
    QVERIFY(!rig.state.linkBusy);
    core::LinkClaim claim(rig.state);
    QVERIFY(claim.claimed());
}

void TstLoopback::linkDropsOrClosed_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<int>("dropAtMs");  // -1: closed before the start
    QTest::addColumn<QString>("endLine");
    QTest::newRow("serial drops mid-run") << false << 2500 << " 1: end of test";
    QTest::newRow("tcp drops mid-run") << true << 5500 << " 1: end of test";
    QTest::newRow("serial drops while settling") << false << 500 << " 0: end of test";
    QTest::newRow("serial closed at start") << false << -1 << " 0: end of test";
    QTest::newRow("tcp closed at start") << true << -1 << " 0: end of test";
}

void TstLoopback::linkDropsOrClosed()
{
    QFETCH(bool, tcp);
    QFETCH(int, dropAtMs);
    QFETCH(QString, endLine);
    testing::FakeRig rig;
    QVERIFY(open(rig, tcp));
    // No echo: the first character waits its full time-out unless the drop
    // comes first.
    if (dropAtMs < 0) {
        if (tcp)
            rig.tcp.close();
        else
            rig.serial.close();
    } else if (tcp) {
        rig.tcp.dropAfter(Ms(dropAtMs));
    } else {
        rig.serial.dropAfter(Ms(dropAtMs));
    }
    testing::Recorder progress;
    loopback::LoopbackTest test(rig.state, rig.link, rig.ui, progress);
    const Ms start = rig.waiter.now();
    QCOMPARE(test.run(), loopback::Outcome::LinkLost);
    QCOMPARE(rig.ui.lines, (QStringList{loopback::startLine(tcp), "Disconnected", endLine}));
    if (dropAtMs >= 0) {
        QCOMPARE(rig.waiter.now() - start, Ms(dropAtMs));  // ended at the drop, not at a time-out
        QCOMPARE(rig.link.statusCaption(), QStringLiteral("Disconnected"));
    }
    QVERIFY(!rig.state.linkBusy);
}

// An echo that comes after its time-out arrives together with the next one.
// Left waiting, every later wait would see two characters and time out; the
// stale byte is discarded instead and the test gets back in step.
void TstLoopback::lateEchoDoesNotCascade()
{
    testing::FakeRig rig;
    QVERIFY(rig.connectSerial());
    EchoPeer peer(rig);
    bool late = false;
    peer.bend = [&](quint8 b) -> std::optional<QByteArray> {
        if (b != 10 || late)
            return std::nullopt;
        late = true;
        rig.peer().deliver(QByteArray(1, 10), Ms(1050));
        return QByteArray();
    };
    testing::Recorder progress;
    loopback::LoopbackTest test(rig.state, rig.link, rig.ui, progress);
    QCOMPARE(test.run(2), loopback::Outcome::Completed);
    QVERIFY2(rig.ui.lines.size() <= 5, qPrintable(rig.ui.lines.join(QLatin1Char('\n'))));
    QCOMPARE(rig.ui.lines.constFirst(), loopback::startLine(false));
    QCOMPARE(rig.ui.lines.at(1), QStringLiteral(" 11: timeout"));
    QCOMPARE(rig.ui.lines.constLast(), QStringLiteral(" 512: end of test"));
}

void TstLoopback::progressCaption_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<int>("captions");
    QTest::newRow("serial every 1000th") << false << 1 + 2;
    QTest::newRow("tcp every character") << true << 1 + 2500;
}

void TstLoopback::progressCaption()
{
    QFETCH(bool, tcp);
    QFETCH(int, captions);
    testing::FakeRig rig;
    QVERIFY(open(rig, tcp));
    EchoPeer peer(rig);
    testing::Recorder progress;
    loopback::LoopbackTest test(rig.state, rig.link, rig.ui, progress);
    rig.waiter.setOnPass([&] {
        if (test.charactersSent() == 2500)
            test.requestStop();
    });
    test.run();
    QCOMPARE(progress.statuses.constFirst(), QString());
    QCOMPARE(progress.statuses.size(), captions);
    QCOMPARE(progress.status(), tcp ? QStringLiteral("Characters Sent:  2500") : QStringLiteral("Characters Sent:  2000"));
}

void TstLoopback::quittingUnwindsQuietly()
{
    testing::FakeRig rig;
    QVERIFY(rig.connectSerial());
    testing::Recorder progress;
    loopback::LoopbackTest test(rig.state, rig.link, rig.ui, progress);
    rig.waiter.after(Ms(2500), [&] { rig.waiter.requestQuit(); });
    QCOMPARE(test.run(), loopback::Outcome::Quitting);
    QCOMPARE(rig.ui.lines, QStringList{loopback::startLine(false)});
    QCOMPARE(test.charactersSent(), 1);
    QVERIFY(rig.ui.messages.isEmpty());
}

QTEST_GUILESS_MAIN(TstLoopback)
#include "tst_loopback.moc"
