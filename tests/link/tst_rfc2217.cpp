// The device-server link: the Telnet codec byte by byte, then the transport
// against the real ser2net with tarnic-sim on the pseudo-terminal behind it.
#include "link/rfc2217codec.h"
#include "link/rfc2217io.h"
#include "link/waiter.h"
#include "tests/common/ser2net.h"
#include "tests/common/simprocess.h"

#include <QTest>

using namespace std::chrono_literals;

namespace {

QByteArray hex(const char *text) { return QByteArray::fromHex(text); }

// What the client says first: WILL and DO binary, WILL and DO suppress
// go-ahead, WILL serial-port control.
const QByteArray kOpening = hex("fffb00 fffd00 fffb03 fffd03 fffb2c");
// The line asked once the server takes serial-port control: rate, 8 data
// bits, no parity, 1 stop bit.
QByteArray lineSettings(const char *rate)
{
    return hex("fffa2c01") + hex(rate) + hex("fff0 fffa2c0208fff0 fffa2c0301fff0 fffa2c0401fff0");
}
// The server's agreement without extras, and its acknowledgements.
const QByteArray kAgreement = hex("fffd00 fffb00 fffd2c");
QByteArray acks(const char *rate, const char *parity = "01")
{
    return hex("fffa2c65") + hex(rate) + hex("fff0 fffa2c6608fff0 fffa2c67") + hex(parity) + hex("fff0 fffa2c6801fff0");
}

// What a codec has come to: "ready", "silent" (no Telnet at all), "waiting",
// or its failure.
QString outcome(const wire::Rfc2217Codec &codec)
{
    if (!codec.failure().isEmpty())
        return codec.failure();
    return codec.ready() ? QStringLiteral("ready")
        : codec.spoke()  ? QStringLiteral("waiting")
                         : QStringLiteral("silent");
}

// tarnic-sim on a pseudo-terminal, served by ser2net (or ser2net serving
// another device), and the transport under test.
struct Served {
    testing::SimProcess sim;
    testing::Ser2net server;
    wire::EventLoopWaiter waiter;
    wire::Rfc2217Io io;
    bool up = false;

    bool start(QString *error, const QString &device)
    {
        *error = QStringLiteral("tarnic-sim did not start");
        return sim.start({QStringLiteral("--pty")}) && server.start(device.isEmpty() ? sim.ptyPath() : device, error);
    }
    bool connectAt(quint16 port, wire::Ms patience)
    {
        QObject::connect(&io, &wire::TcpIo::connected, [this] { up = true; });
        io.connectToHost(QStringLiteral("127.0.0.1"), port);
        return waiter.waitFor([this] { return up; }, patience);
    }
};

} // namespace

class TestRfc2217 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void negotiation_data()
    {
        QTest::addColumn<qint32>("baud");
        QTest::addColumn<QByteArray>("server");
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("outcome");
        // As ser2net answers: its own offers first (echo among them, refused),
        // a modem-state report nobody asked for, data among the commands.
        QTest::newRow("ser2net") << 9600
                                 << hex("fffb03 fffd03 fffb01 fffe01 fffd00 fffb00 61 fffd2c fff1 62 fffd03 "
                                        "fffa2c6b00fff0 ffff 63")
                + acks("00002580") + hex("64")
                                 << kOpening + hex("fffe01") + lineSettings("00002580") << hex("6162ff6364") << "ready";
        // Each refused once; what is already so gets no answer, so that the
        // two sides never loop.
        QTest::newRow("offers refused") << 115200
                                        << hex("fffd01 fffb05 fffd18 fffb2c") + kAgreement + acks("0001c200")
                + hex("fffd00 fffb00 fffd03")
                                        << kOpening + hex("fffc01 fffe05 fffc18 fffe2c") + lineSettings("0001c200")
                                        << QByteArray() << "ready";
        QTest::newRow("escape byte in a setting") << 0x1ff00 << kAgreement + acks("0001ffff00")
                                                  << kOpening + lineSettings("0001ffff00") << QByteArray() << "ready";
        QTest::newRow("subnegotiation cut short") << 9600 << hex("fffd00 fffa2c6b fffb00 fffd2c") + acks("00002580")
                                                  << kOpening + lineSettings("00002580") << QByteArray() << "ready";
        QTest::newRow("another rate") << 9600 << kAgreement + acks("00004b00") << kOpening + lineSettings("00002580")
                                      << QByteArray() << "set 19200 baud instead of 9600 baud";
        QTest::newRow("another parity") << 9600 << kAgreement + acks("00002580", "03")
                                        << kOpening + lineSettings("00002580") << QByteArray()
                                        << "set even parity instead of no parity";
        QTest::newRow("no serial-port control")
            << 9600 << hex("fffd00 fffb00 fffe2c") << kOpening << QByteArray()
            << "does not offer serial-port control (RFC 2217): set the port to telnet/RFC 2217 mode, or use --tcp";
        QTest::newRow("no binary") << 9600 << hex("fffc00") << kOpening << QByteArray()
                                   << "refuses to pass bytes unchanged (Telnet binary mode)";
        QTest::newRow("raw server") << 9600 << QByteArray("hello\r") << kOpening << QByteArray("hello\r") << "silent";
        QTest::newRow("settings not answered yet")
            << 9600 << kAgreement << kOpening + lineSettings("00002580") << QByteArray() << "waiting";
    }

    // The server's bytes all at once and one at a time: the same answers,
    // the same data, the same end.
    void negotiation()
    {
        QFETCH(qint32, baud);
        QFETCH(QByteArray, server);
        QFETCH(QByteArray, written);
        QFETCH(QByteArray, data);
        QFETCH(QString, outcome);
        for (const qsizetype piece : {server.size(), qsizetype{1}}) {
            wire::Rfc2217Codec codec;
            codec.start(baud);
            QByteArray out = codec.takeOutput();
            QByteArray got;
            for (qsizetype at = 0; at < server.size(); at += piece) {
                got += codec.receive(QByteArrayView(server).sliced(at, std::min(piece, server.size() - at)));
                out += codec.takeOutput();
            }
            QCOMPARE(out, written);
            QCOMPARE(got, data);
            QCOMPARE(::outcome(codec), outcome);
        }
    }

    // Once open: a rate is sent only when it changes, its answer is told
    // (whatever it is), stale input is purged, data goes out escaped.
    void onceOpen()
    {
        wire::Rfc2217Codec codec;
        codec.start(9600);
        codec.receive(kAgreement + acks("00002580"));
        codec.takeOutput();
        QCOMPARE(outcome(codec), QStringLiteral("ready"));
        codec.setBaud(9600);
        QCOMPARE(codec.takeOutput(), QByteArray());
        codec.setBaud(115200);
        QCOMPARE(codec.takeOutput(), hex("fffa2c01 0001c200 fff0"));
        QVERIFY(codec.settling());
        codec.receive(hex("fffa2c65 0000e100 fff0"));
        QVERIFY(!codec.settling());
        QCOMPARE(codec.baud(), 57600);
        QCOMPARE(outcome(codec), QStringLiteral("ready"));
        codec.purgeReceived();
        QCOMPARE(codec.takeOutput(), hex("fffa2c0c01fff0"));
        QCOMPARE(wire::Rfc2217Codec::escape(hex("00ff41ffff")), hex("00ffff41ffffffff"));
    }

    void throughSer2net_data()
    {
        QTest::addColumn<qint32>("openAt");
        QTest::addColumn<qint32>("changeTo");
        QTest::addColumn<QString>("device"); // the simulator's when empty
        QTest::addColumn<bool>("raw");
        QTest::addColumn<QString>("failure");
        QTest::newRow("9600, then 115200") << 9600 << 115200 << QString() << false << QString();
        QTest::newRow("115200, then 9600") << 115200 << 9600 << QString() << false << QString();
        QTest::newRow("raw accepter")
            << 9600 << 0 << QString() << true
            << "127.0.0.1:%1 does not speak RFC 2217: set the port to telnet/RFC 2217 mode, or use --tcp";
        QTest::newRow("device missing") << 9600 << 0 << "/dev/tarnic-no-such-tty" << false
                                        << "127.0.0.1:%1 closed the connection (it said: Device open failure";
    }

    // The rate the client asks for is the one the server acknowledges and the
    // one the line behind it runs at, at open and after a change; stale input
    // goes; every byte value, the escape byte twice over, comes back from the
    // simulator's echo exactly as sent. A server that will not serve never
    // opens, and the reason names it and says what to do.
    void throughSer2net()
    {
        QFETCH(qint32, openAt);
        QFETCH(qint32, changeTo);
        QFETCH(QString, device);
        QFETCH(bool, raw);
        QFETCH(QString, failure);
        Served s;
        QString error;
        QVERIFY2(s.start(&error, device), qPrintable(error));
        const quint16 port = raw ? s.server.rawPort() : s.server.rfc2217Port();
        s.io.setBaud(openAt);
        if (!failure.isEmpty()) {
            // A telnet server answers within milliseconds; a raw one never does.
            QVERIFY(!s.connectAt(port, 300ms));
            QVERIFY(!s.io.isOpen());
            QVERIFY2(s.io.connectFailure().startsWith(failure.arg(port)), qPrintable(s.io.connectFailure()));
            return;
        }
        QVERIFY2(s.connectAt(port, 10s), qPrintable(s.io.connectFailure()));
        QCOMPARE(s.io.baud(), openAt);
        QCOMPARE(testing::lineSpeed(s.sim.ptyPath()), openAt);
        s.io.setBaud(changeTo);
        QVERIFY(s.waiter.waitFor([&] { return !s.io.settling(); }, 10s));
        QCOMPARE(s.io.baud(), changeTo);
        QCOMPARE(testing::lineSpeed(s.sim.ptyPath()), changeTo);
        // A reply left waiting is thrown away here and in the server; the
        // session goes on.
        QVERIFY(s.io.write("V\r"));
        QVERIFY(s.waiter.waitFor([&] { return s.io.bytesAvailable() > 0; }, 10s));
        s.io.discardInput();
        QCOMPARE(s.io.bytesAvailable(), 0);

        QByteArray payload;
        for (int v = 0; v < 256; ++v)
            payload.append(static_cast<char>(v));
        payload += hex("ffff");
        QVERIFY(s.io.write(hex("001b0d001b0d") + "*") && s.io.write(payload));
        // The wake-up's own answers come first.
        QByteArray echo;
        s.waiter.waitFor([&] { return (echo += s.io.read(s.io.bytesAvailable())).endsWith(payload); }, 10s);
        QVERIFY2(echo.endsWith(payload), echo.right(64).toHex(' ').constData());
    }
};

QTEST_GUILESS_MAIN(TestRfc2217)
#include "tst_rfc2217.moc"
