// Link operations on the virtual clock: exact bytes, reply framing, every
// time-out path, the connect wait and the caption rules.
#include "tests/common/fakerig.h"

#include <QtTest>

using namespace std::chrono_literals;
using testing::FakeRig;

class TestLinkTiming : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sendCommandIsOneWrite_data();
    void sendCommandIsOneWrite();
    void wakeupIsTwoCarriageReturns_data();
    void wakeupIsTwoCarriageReturns();
    void replyLines_data();
    void replyLines();
    void partialReplyTimesOutAfterFiveSeconds_data();
    void partialReplyTimesOutAfterFiveSeconds();
    void trickleLongerThanTimeoutTimesOut();
    void lateReplyDiscardedOnSerialKeptOnTcp_data();
    void lateReplyDiscardedOnSerialKeptOnTcp();
    void sendOnClosedLinkSetsFailure_data();
    void sendOnClosedLinkSetsFailure();
    void silentTcpGivesUpAfterThirtyPasses();
    void connectWithinPasses();
    void badPortTextFailsAtOnce_data();
    void badPortTextFailsAtOnce();
    void connectWhileConnectedAndDisconnectWhileDisconnected();
    void serialSettingsFollowSelections();
    void peerLossClosesLink_data();
    void peerLossClosesLink();
    void endlessLineStaysBounded();
    void quittingEndsAWaitAtOnce();
};

void TestLinkTiming::sendCommandIsOneWrite_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("serial X001") << false << QByteArray("X001") << QByteArray("X001\r");
    QTest::newRow("serial empty") << false << QByteArray() << QByteArray("\r");
    QTest::newRow("tcp X001") << true << QByteArray("X001") << QByteArray("X001\r");
    QTest::newRow("tcp empty") << true << QByteArray() << QByteArray("\r");
    QTest::newRow("8-bit text") << false << QByteArray("\xff\x80", 2) << QByteArray("\xff\x80\r", 3);
}

void TestLinkTiming::sendCommandIsOneWrite()
{
    QFETCH(bool, tcp);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, wire);
    FakeRig rig;
    QVERIFY(tcp ? rig.connectTcp() : rig.connectSerial());
    rig.link.SendCommand(text);
    QVERIFY(!rig.state.sendFailure);
    QCOMPARE(rig.peer().writes, QByteArrayList{wire});
}

void TestLinkTiming::wakeupIsTwoCarriageReturns_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<QByteArrayList>("writes");
    QTest::newRow("serial: two writes") << false << QByteArrayList{"\r", "\r"};
    QTest::newRow("tcp: one send") << true << QByteArrayList{"\r\r"};
}

void TestLinkTiming::wakeupIsTwoCarriageReturns()
{
    QFETCH(bool, tcp);
    QFETCH(QByteArrayList, writes);
    FakeRig rig;
    QVERIFY(tcp ? rig.connectTcp() : rig.connectSerial());
    rig.link.SendWakeup();
    QCOMPARE(rig.peer().writes, writes);
}

void TestLinkTiming::replyLines_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<bool>("oneByteAtATime");
    for (bool tcp : {false, true})
        for (bool split : {false, true})
            QTest::addRow("%s %s", tcp ? "tcp" : "serial", split ? "byte by byte" : "all at once") << tcp << split;
}

// O K CR LF A B CR: the line feed belongs to the second line.
void TestLinkTiming::replyLines()
{
    QFETCH(bool, tcp);
    QFETCH(bool, oneByteAtATime);
    FakeRig rig;
    QVERIFY(tcp ? rig.connectTcp() : rig.connectSerial());
    const QByteArray bytes("OK\r\nAB\r");
    if (oneByteAtATime) {
        for (int i = 0; i < bytes.size(); ++i)
            rig.peer().deliver(bytes.mid(i, 1), wire::Ms(10 * (i + 1)));
    } else {
        rig.peer().deliver(bytes, 10ms);
    }
    QByteArray reply;
    QCOMPARE(rig.link.ReadReplyLine(reply), wire::ReplyReceived);
    QCOMPARE(reply, QByteArray("OK"));
    QCOMPARE(rig.link.ReadReplyLine(reply), wire::ReplyReceived);
    QCOMPARE(reply, QByteArray("\nAB"));
    QVERIFY(!rig.state.replyTimeout);
}

void TestLinkTiming::partialReplyTimesOutAfterFiveSeconds_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::newRow("serial") << false;
    QTest::newRow("tcp") << true;
}

void TestLinkTiming::partialReplyTimesOutAfterFiveSeconds()
{
    QFETCH(bool, tcp);
    FakeRig rig;
    QVERIFY(tcp ? rig.connectTcp() : rig.connectSerial());
    rig.peer().deliver("PART", 100ms);
    const auto start = rig.waiter.now();
    QByteArray reply;
    QCOMPARE(rig.link.ReadReplyLine(reply), wire::ReplyTimedOut);
    QCOMPARE(rig.waiter.now() - start, wire::Ms(5000));
    QCOMPARE(reply, QByteArray("PART"));
    QVERIFY(rig.state.replyTimeout);
}

// The time-out covers the whole line, not the gap between characters.
void TestLinkTiming::trickleLongerThanTimeoutTimesOut()
{
    FakeRig rig;
    QVERIFY(rig.connectSerial());
    for (int i = 0; i < 10; ++i)
        rig.peer().deliver("a", wire::Ms(900 * (i + 1)));
    QByteArray reply;
    QCOMPARE(rig.link.ReadReplyLine(reply), wire::ReplyTimedOut);
    QCOMPARE(reply, QByteArray("aaaaa"));
}

void TestLinkTiming::lateReplyDiscardedOnSerialKeptOnTcp_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<QByteArray>("second");
    QTest::newRow("serial discards") << false << QByteArray("NEW");
    QTest::newRow("tcp prefixes") << true << QByteArray("LATENEW");
}

void TestLinkTiming::lateReplyDiscardedOnSerialKeptOnTcp()
{
    QFETCH(bool, tcp);
    QFETCH(QByteArray, second);
    FakeRig rig;
    QVERIFY(tcp ? rig.connectTcp() : rig.connectSerial());
    rig.link.SendCommand("A");
    QByteArray reply;
    QCOMPARE(rig.link.ReadReplyLine(reply), wire::ReplyTimedOut);
    rig.peer().deliver("LATE", 1ms);
    rig.waiter.advance(10ms);
    rig.peer().onWrite = [&](const QByteArray &) { rig.peer().deliver("NEW\r", 5ms); };
    rig.link.SendCommand("B");
    QCOMPARE(rig.link.ReadReplyLine(reply), wire::ReplyReceived);
    QCOMPARE(reply, second);
}

void TestLinkTiming::sendOnClosedLinkSetsFailure_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::newRow("serial") << false;
    QTest::newRow("tcp") << true;
}

void TestLinkTiming::sendOnClosedLinkSetsFailure()
{
    QFETCH(bool, tcp);
    FakeRig rig;
    wire::selectMode(rig.comm, rig.state, tcp ? wire::CommSettings::Mode::Tcp : wire::CommSettings::Mode::Serial);
    rig.link.SendCommand("V");
    QVERIFY(rig.state.sendFailure);
    rig.state.sendFailure = false;
    rig.link.SendWakeup();
    QVERIFY(rig.state.sendFailure);
    // A caller that does not look at the flag sees a time-out after 5 s.
    QByteArray reply;
    QCOMPARE(rig.link.ReadReplyLine(reply), wire::ReplyTimedOut);
    QCOMPARE(rig.waiter.now(), wire::Ms(5000));
}

void TestLinkTiming::silentTcpGivesUpAfterThirtyPasses()
{
    FakeRig rig;
    rig.tcp.acceptAfter.reset();
    wire::setIpText(rig.comm, rig.state, QStringLiteral("10.1.2.3"));
    QVERIFY(!rig.connectTcp());
    QCOMPARE(rig.waiter.now(), wire::Ms(3000));
    QCOMPARE(rig.link.statusCaption(), QStringLiteral("Disconnected"));
    QVERIFY(rig.ui.messages.isEmpty());
    QVERIFY(!rig.tcp.isOpen());
}

void TestLinkTiming::connectWithinPasses()
{
    FakeRig rig;
    rig.tcp.acceptAfter = 2850ms;
    wire::setPortText(rig.comm, rig.state, QStringLiteral("5757"));
    QVERIFY(rig.connectTcp());
    QCOMPARE(rig.tcp.port, quint16(5757));
    QCOMPARE(rig.tcp.host, wire::kDefaultIpAddress);
    QCOMPARE(rig.link.statusCaption(), QStringLiteral("Connected"));
}

void TestLinkTiming::badPortTextFailsAtOnce_data()
{
    QTest::addColumn<QString>("port");
    QTest::newRow("empty") << QString();
    QTest::newRow("not a number") << QStringLiteral("5x");
    QTest::newRow("zero") << QStringLiteral("0");
    QTest::newRow("too large") << QStringLiteral("65536");
}

void TestLinkTiming::badPortTextFailsAtOnce()
{
    QFETCH(QString, port);
    FakeRig rig;
    wire::setPortText(rig.comm, rig.state, port);
    QVERIFY(!rig.connectTcp());
    QCOMPARE(rig.waiter.now(), wire::Ms(0));
    QVERIFY(rig.ui.messages.isEmpty());
}

void TestLinkTiming::connectWhileConnectedAndDisconnectWhileDisconnected()
{
    FakeRig rig;
    rig.link.DisconnectLink();
    QCOMPARE(rig.ui.messages, QStringList{QStringLiteral("Already disconnected")});
    QVERIFY(rig.connectSerial());
    rig.link.ConnectLink();
    QCOMPARE(rig.ui.messages.constLast(), QStringLiteral("Disconnect first before connecting"));
    QCOMPARE(rig.serial.openCount, 1);
    rig.link.DisconnectLink();
    QCOMPARE(rig.link.statusCaption(), QStringLiteral("Disconnected"));
    QVERIFY(!rig.serial.isOpen());
}

// The selections take effect at the next connect; port n maps to a device
// unless the device field names one.
void TestLinkTiming::serialSettingsFollowSelections()
{
    FakeRig rig;
    wire::selectPort(rig.comm, rig.state, 4);
    QCOMPARE(rig.state.serialPortNumber, qint16(4));
    QVERIFY(rig.connectSerial());
    QCOMPARE(rig.serial.openedBaud, 9600);
    QCOMPARE(rig.link.serialSettings(), QStringLiteral("9600,N,8,1"));
#ifndef Q_OS_WIN
    QCOMPARE(rig.serial.openedDevice, QStringLiteral("/dev/ttyS3"));
#endif
    wire::selectBaud(rig.comm, rig.state, 115200);
    QCOMPARE(rig.serial.openedBaud, 9600);
    rig.link.DisconnectLink();
    rig.comm.device = QStringLiteral("/dev/ttyUSB0");
    QVERIFY(rig.connectSerial());
    QCOMPARE(rig.serial.openedBaud, 115200);
    QCOMPARE(rig.link.serialSettings(), QStringLiteral("115200,N,8,1"));
    QCOMPARE(rig.serial.openedDevice, QStringLiteral("/dev/ttyUSB0"));

    // A port that cannot be opened leaves the link closed, silently.
    rig.link.DisconnectLink();
    rig.serial.openSucceeds = false;
    QVERIFY(!rig.connectSerial());
    QVERIFY(rig.ui.messages.isEmpty());
}

void TestLinkTiming::peerLossClosesLink_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::newRow("serial device removed") << false;
    QTest::newRow("tcp peer closed") << true;
}

// A reply wait on a link that goes away ends at once, not after 5 s, and a
// later connect works again.
void TestLinkTiming::peerLossClosesLink()
{
    QFETCH(bool, tcp);
    FakeRig rig;
    QVERIFY(tcp ? rig.connectTcp() : rig.connectSerial());
    const auto start = rig.waiter.now();
    if (tcp)
        rig.tcp.dropAfter(200ms);
    else
        rig.serial.dropAfter(200ms);
    rig.link.SendCommand("V");
    QByteArray reply;
    QCOMPARE(rig.link.ReadReplyLine(reply), wire::ReplyTimedOut);
    QCOMPARE(rig.link.statusCaption(), QStringLiteral("Disconnected"));
    QCOMPARE(rig.waiter.now() - start, wire::Ms(200));
    QVERIFY(rig.ui.messages.isEmpty());
    QVERIFY(tcp ? rig.connectTcp() : rig.connectSerial());
}

void TestLinkTiming::endlessLineStaysBounded()
{
    FakeRig rig;
    QVERIFY(rig.connectSerial());
    rig.peer().deliver(QByteArray(3 * wire::kMaxReplyLine, 'z'), 1ms);
    rig.peer().deliver("\r", 2ms);
    QByteArray reply;
    QCOMPARE(rig.link.ReadReplyLine(reply), wire::ReplyReceived);
    QCOMPARE(reply.size(), wire::kMaxReplyLine);
}

void TestLinkTiming::quittingEndsAWaitAtOnce()
{
    FakeRig rig;
    QVERIFY(rig.connectSerial());
    rig.waiter.after(300ms, [&] { rig.waiter.requestQuit(); });
    QByteArray reply;
    QCOMPARE(rig.link.ReadReplyLine(reply), wire::ReplyTimedOut);
    QCOMPARE(rig.waiter.now(), wire::Ms(300));
}

QTEST_GUILESS_MAIN(TestLinkTiming)
#include "tst_link_timing.moc"
