// Link operations on the virtual clock: exact bytes, reply framing, every
// time-out path, the connect wait and the caption rules.
#include "tests/common/fakerig.h"
#include "tests/common/rows.h"

#include <QTest>

using namespace std::chrono_literals;
using testing::FakeRig;

class TestLinkTiming : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void writes_data()
    {
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<QByteArray>("command"); // empty: the wake-up
        QTest::addColumn<QByteArrayList>("writes");
        QTest::newRow("serial X001") << false << QByteArray("X001") << QByteArrayList{"X001\r"};
        QTest::newRow("tcp X001") << true << QByteArray("X001") << QByteArrayList{"X001\r"};
        QTest::newRow("empty command") << false << QByteArray("") << QByteArrayList{"\r"};
        QTest::newRow("8-bit text") << false << QByteArray("\xff\x80", 2)
                                    << QByteArrayList{QByteArray("\xff\x80\r", 3)};
        QTest::newRow("serial wake-up: two writes") << false << QByteArray() << QByteArrayList{"\r", "\r"};
        QTest::newRow("tcp wake-up: one send") << true << QByteArray() << QByteArrayList{"\r\r"};
    }

    // A command goes out as one write with its carriage return.
    void writes()
    {
        QFETCH(QByteArray, command);
        QFETCH(QByteArrayList, writes);
        FakeRig rig;
        QVERIFY(FETCHED(bool, tcp) ? rig.connectTcp() : rig.connectSerial());
        QVERIFY(command.isNull() ? rig.link.SendWakeup() : rig.link.SendCommand(command));
        QCOMPARE(rig.peer().writes, writes);
    }

    void timeouts_data()
    {
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<int>("gapMs"); // between single characters
        QTest::addColumn<QByteArray>("partial");
        QTest::newRow("serial partial line") << false << 0 << QByteArray("PART");
        QTest::newRow("tcp partial line") << true << 0 << QByteArray("PART");
        // The time-out covers the whole line, not the gap between characters.
        QTest::newRow("serial trickle") << false << 900 << QByteArray("aaaaa");
        QTest::newRow("tcp trickle") << true << 900 << QByteArray("aaaaa");
    }

    void timeouts()
    {
        QFETCH(int, gapMs);
        QFETCH(QByteArray, partial);
        FakeRig rig;
        QVERIFY(FETCHED(bool, tcp) ? rig.connectTcp() : rig.connectSerial());
        const auto start = rig.waiter.now();
        if (gapMs == 0)
            rig.peer().deliver(partial, 100ms);
        else
            for (int i = 0; i < 10; ++i)
                rig.peer().deliver("a", wire::Ms(gapMs * (i + 1)));
        const wire::ReplyLine reply = rig.link.ReadReplyLine();
        QVERIFY(reply.timedOut);
        QCOMPARE(rig.waiter.now() - start, wire::Ms(5000));
        QCOMPARE(reply.text, partial);
    }

    void lateReplyDiscardedOnSerialKeptOnTcp_data()
    {
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<QByteArray>("second");
        QTest::newRow("serial discards") << false << QByteArray("NEW");
        QTest::newRow("tcp prefixes") << true << QByteArray("LATENEW");
    }

    void lateReplyDiscardedOnSerialKeptOnTcp()
    {
        FakeRig rig;
        QVERIFY(FETCHED(bool, tcp) ? rig.connectTcp() : rig.connectSerial());
        rig.link.SendCommand("A");
        QVERIFY(rig.link.ReadReplyLine().timedOut);
        rig.peer().deliver("LATE", 1ms);
        rig.waiter.advance(10ms);
        rig.peer().onWrite = [&](const QByteArray &) { rig.peer().deliver("NEW\r", 5ms); };
        rig.link.SendCommand("B");
        const wire::ReplyLine reply = rig.link.ReadReplyLine();
        QVERIFY(!reply.timedOut);
        QCOMPARE(reply.text, FETCHED(QByteArray, second));
    }

    void sendOnClosedLinkSetsFailure_data() { testing::boolRows("tcp", "serial", "tcp"); }

    void sendOnClosedLinkSetsFailure()
    {
        FakeRig rig;
        rig.comm.mode = FETCHED(bool, tcp) ? wire::CommSettings::Mode::Tcp : wire::CommSettings::Mode::Serial;
        QVERIFY(!rig.link.SendCommand("V"));
        QVERIFY(!rig.link.SendWakeup());
        // A caller that does not look at the result sees a time-out after 5 s.
        QVERIFY(rig.link.ReadReplyLine().timedOut);
        QCOMPARE(rig.waiter.now(), wire::Ms(5000));
    }

    // The TCP connect: accepted late within its 3-second wait, given up after
    // it quietly, or refused at once for a port text that is no port.
    void tcpConnect_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("acceptMs");  // -1: never
        QTest::addColumn<int>("failsAtMs"); // -1: connects
        QTest::newRow("accepted at 2850 ms") << "5757" << 2850 << -1;
        QTest::newRow("silent peer") << "57" << -1 << 3000;
        QTest::newRow("empty") << "" << 10 << 0;
        QTest::newRow("not a number") << "5x" << 10 << 0;
        QTest::newRow("zero") << "0" << 10 << 0;
        QTest::newRow("too large") << "65536" << 10 << 0;
    }

    void tcpConnect()
    {
        QFETCH(QString, port);
        QFETCH(int, acceptMs);
        QFETCH(int, failsAtMs);
        FakeRig rig;
        rig.comm.tcpPort = port;
        rig.tcp.acceptAfter = acceptMs < 0 ? std::nullopt : std::optional(wire::Ms(acceptMs));
        QCOMPARE(rig.connectTcp(), failsAtMs < 0);
        QVERIFY(rig.ui.messages.isEmpty());
        if (failsAtMs >= 0) {
            QCOMPARE(rig.waiter.now(), wire::Ms(failsAtMs));
            QCOMPARE(rig.link.statusCaption(), QStringLiteral("Disconnected"));
            QVERIFY(!rig.tcp.isOpen());
            return;
        }
        QCOMPARE(rig.tcp.port, quint16(5757));
        QCOMPARE(rig.tcp.host, wire::kDefaultIpAddress);
        QCOMPARE(rig.link.statusCaption(), QStringLiteral("Connected"));
    }

    void connectWhileConnectedAndDisconnectWhileDisconnected()
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
    void serialSettingsFollowSelections()
    {
        FakeRig rig;
        rig.comm.port = 4;
        QVERIFY(rig.connectSerial());
        QCOMPARE(rig.serial.openedBaud, 9600);
        QCOMPARE(rig.link.serialSettings(), QStringLiteral("9600,N,8,1"));
#ifndef Q_OS_WIN
        QCOMPARE(rig.serial.openedDevice, QStringLiteral("/dev/ttyS3"));
#endif
        rig.comm.baud = 115200;
        QCOMPARE(rig.serial.openedBaud, 9600);
        const auto opened = rig.link.opened();
        QCOMPARE(opened ? opened->baud() : 0, 9600);
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

    void endlessLineStaysBounded()
    {
        FakeRig rig;
        QVERIFY(rig.connectSerial());
        rig.peer().deliver(QByteArray(3 * wire::kMaxReplyLine, 'z'), 1ms);
        rig.peer().deliver("\r", 2ms);
        const wire::ReplyLine reply = rig.link.ReadReplyLine();
        QVERIFY(!reply.timedOut);
        QCOMPARE(reply.text.size(), wire::kMaxReplyLine);
    }
};

QTEST_GUILESS_MAIN(TestLinkTiming)
#include "tst_link_timing.moc"
