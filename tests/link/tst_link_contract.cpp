// One contract for every transport under the link: the fake on a virtual
// clock, a real pseudo-terminal pair, a real TCP connection on 127.0.0.1 and
// a pseudo-terminal behind ser2net's RFC 2217 accepter. The test plays the
// controller.
#include "link/fake/fakeio.h"
#include "link/link.h"
#include "link/qtserialio.h"
#include "link/qttcpio.h"
#include "tests/common/recorders.h"
#include "tests/common/ser2net.h"
#include "tests/common/slowpty.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

using namespace std::chrono_literals;

namespace {

// How long a real peer waits for what it expects: a bound that only a hang
// reaches, since each wait ends as soon as the bytes are there.
constexpr int kPatienceMs = 20000;

// The controller end of one transport.
class Peer {
public:
    virtual ~Peer() = default;
    virtual void send(const QByteArray &bytes) = 0;
    // Everything the program has written so far, waiting up to timeout for n bytes.
    virtual QByteArray receive(qsizetype n) = 0;
    virtual void hangUp() = 0;
};

struct Harness {
    wire::CommSettings comm;
    testing::Recorder ui;
    std::unique_ptr<wire::Waiter> waiter;
    std::unique_ptr<wire::SerialIo> serial;
    std::unique_ptr<wire::TcpIo> tcp;
    std::unique_ptr<wire::Link> link;
    std::unique_ptr<Peer> peer;
    std::unique_ptr<testing::Ser2net> server;
    QString error; // why the harness could not be built

    void makeLink() { link = std::make_unique<wire::Link>(comm, *waiter, ui, *serial, *tcp); }
};

class FakePeer final : public Peer {
public:
    explicit FakePeer(wire::fake::FakeStream &s, std::function<void()> drop) : m_s(s), m_drop(std::move(drop)) {}
    // A byte a read: lines are put together across reads.
    void send(const QByteArray &bytes) override
    {
        for (qsizetype i = 0; i < bytes.size(); ++i)
            m_s.deliver(bytes.mid(i, 1), wire::Ms(i + 1));
    }
    QByteArray receive(qsizetype) override { return m_s.written(); }
    void hangUp() override { m_drop(); }

private:
    wire::fake::FakeStream &m_s;
    std::function<void()> m_drop;
};

class PtyPeer final : public Peer {
public:
    PtyPeer()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        // Not inherited by a device server the test starts: its copy would
        // keep the line up after hangUp().
        ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
        ::grantpt(m_master);
        ::unlockpt(m_master);
        path = QString::fromLocal8Bit(::ptsname(m_master));
    }
    ~PtyPeer() override { hangUp(); }
    void send(const QByteArray &bytes) override
    {
        QCOMPARE(::write(m_master, bytes.constData(), static_cast<size_t>(bytes.size())), ssize_t(bytes.size()));
    }
    QByteArray receive(qsizetype n) override
    {
        QElapsedTimer t;
        t.start();
        while (m_got.size() < n && t.elapsed() < kPatienceMs) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0) {
                char b[256];
                const ssize_t r = ::read(m_master, b, sizeof b);
                if (r > 0)
                    m_got.append(b, static_cast<qsizetype>(r));
            }
        }
        return m_got;
    }
    void hangUp() override
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }
    QString path;

private:
    int m_master = -1;
    QByteArray m_got;
};

class TcpPeer final : public Peer {
public:
    TcpPeer() { server.listen(QHostAddress::LocalHost, 0); }
    void send(const QByteArray &bytes) override
    {
        QVERIFY(accepted());
        m_socket->write(bytes);
        m_socket->flush();
    }
    QByteArray receive(qsizetype n) override
    {
        if (!accepted())
            return {};
        QElapsedTimer t;
        t.start();
        while (m_got.size() < n && t.elapsed() < kPatienceMs) {
            m_socket->waitForReadyRead(50);
            m_got += m_socket->readAll();
        }
        return m_got;
    }
    void hangUp() override
    {
        if (accepted())
            m_socket->disconnectFromHost();
    }
    QTcpServer server;

private:
    bool accepted()
    {
        if (!m_socket && (server.hasPendingConnections() || server.waitForNewConnection(kPatienceMs)))
            m_socket = server.nextPendingConnection();
        return m_socket != nullptr;
    }
    QTcpSocket *m_socket = nullptr;
    QByteArray m_got;
};

enum class Kind { FakeSerial, FakeTcp, Pty, Tcp, Rfc2217 };

// Whether this process's TCP sockets to port on 127.0.0.1 (there must be one)
// send each write at once rather than wait to fill a segment.
bool sendsAtOnce(quint16 port)
{
    bool found = false;
    for (int fd = 0; fd < 1024; ++fd) {
        sockaddr_in peer{};
        socklen_t size = sizeof peer;
        if (::getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &size) != 0 || peer.sin_family != AF_INET
            || ntohs(peer.sin_port) != port)
            continue;
        int on = 0;
        size = sizeof on;
        if (::getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, &size) != 0 || on == 0)
            return false;
        found = true;
    }
    return found;
}

std::unique_ptr<Harness> makeHarness(Kind kind)
{
    auto h = std::make_unique<Harness>();
    wire::applyCommDefaults(h->comm);
    if (kind == Kind::FakeSerial || kind == Kind::FakeTcp) {
        auto waiter = std::make_unique<wire::fake::VirtualWaiter>();
        auto serial = std::make_unique<wire::fake::FakeSerialIo>(*waiter);
        auto tcp = std::make_unique<wire::fake::FakeTcpIo>(*waiter);
        if (kind == Kind::FakeSerial) {
            auto *s = serial.get();
            h->peer = std::make_unique<FakePeer>(s->stream, [s] { s->dropAfter(1ms); });
        } else {
            auto *t = tcp.get();
            h->peer = std::make_unique<FakePeer>(t->stream, [t] { t->dropAfter(1ms); });
            h->comm.mode = wire::CommSettings::Mode::Tcp;
        }
        h->waiter = std::move(waiter);
        h->serial = std::move(serial);
        h->tcp = std::move(tcp);
    } else {
        h->waiter = std::make_unique<wire::EventLoopWaiter>();
        h->serial = std::make_unique<wire::QtSerialIo>();
        h->tcp = std::make_unique<wire::QtTcpIo>();
        if (kind == Kind::Rfc2217) {
            auto peer = std::make_unique<PtyPeer>();
            h->server = std::make_unique<testing::Ser2net>();
            h->server->start(peer->path, &h->error);
            h->comm.mode = wire::CommSettings::Mode::Rfc2217;
            h->comm.ipAddress = QStringLiteral("127.0.0.1");
            h->comm.tcpPort = QString::number(h->server->rfc2217Port());
            h->peer = std::move(peer);
        } else if (kind == Kind::Pty) {
            auto peer = std::make_unique<PtyPeer>();
            h->comm.device = peer->path;
            h->peer = std::move(peer);
        } else {
            auto peer = std::make_unique<TcpPeer>();
            h->comm.mode = wire::CommSettings::Mode::Tcp;
            h->comm.ipAddress = QStringLiteral("127.0.0.1");
            h->comm.tcpPort = QString::number(peer->server.serverPort());
            h->peer = std::move(peer);
        }
    }
    h->makeLink();
    return h;
}

} // namespace

Q_DECLARE_METATYPE(Kind)

class TestLinkContract : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void peerGoesAway_data() { exchange_data(); }

    void exchange_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("fake serial") << Kind::FakeSerial;
        QTest::newRow("fake tcp") << Kind::FakeTcp;
        QTest::newRow("pseudo-terminal") << Kind::Pty;
        QTest::newRow("tcp 127.0.0.1") << Kind::Tcp;
        QTest::newRow("rfc2217 through ser2net") << Kind::Rfc2217;
    }

    // Wake-up, a command, a reply split at the carriage return with the line feed
    // kept, and the bytes exactly as written. A pseudo-terminal refuses the
    // low-latency request that every serial open makes, and works all the same;
    // a TCP client sends its small writes at once.
    void exchange()
    {
        QFETCH(Kind, kind);
        auto h = makeHarness(kind);
        QVERIFY2(h->error.isEmpty(), qPrintable(h->error));
        h->link->ConnectLink();
        QCOMPARE(h->link->statusCaption(), QStringLiteral("Connected"));
        if (kind == Kind::Pty)
            QCOMPARE(dynamic_cast<wire::QtSerialIo &>(*h->serial).lowLatency(), wire::LowLatency::Refused);
        if (kind == Kind::Tcp || kind == Kind::Rfc2217)
            QVERIFY(sendsAtOnce(h->comm.tcpPort.toUShort()));
        QVERIFY(h->link->SendWakeup());
        QVERIFY(h->link->SendCommand("X001"));
        QCOMPARE(h->peer->receive(7), QByteArray("\r\rX001\r"));
        h->peer->send("OK\r\nAB\r");
        for (const QByteArray &line : {QByteArray("OK"), QByteArray("\nAB")}) {
            const wire::ReplyLine reply = h->link->ReadReplyLine();
            QCOMPARE(reply.text, line);
            QVERIFY(!reply.timedOut);
        }
        h->link->DisconnectLink();
        QCOMPARE(h->link->statusCaption(), QStringLiteral("Disconnected"));
    }

    // The peer closes (or the device goes): the link closes itself and says
    // "Disconnected" without waiting out the reply time-out, with no message
    // box. Real transports run on the real clock, so the bound is the
    // time-out itself: a loaded machine stays well inside it, a missed
    // hang-up reaches it.
    void peerGoesAway()
    {
        QFETCH(Kind, kind);
        auto h = makeHarness(kind);
        QVERIFY2(h->error.isEmpty(), qPrintable(h->error));
        h->link->ConnectLink();
        QCOMPARE(h->link->statusCaption(), QStringLiteral("Connected"));
        h->link->SendCommand("V");
        QCOMPARE(h->peer->receive(2), QByteArray("V\r"));
        const auto start = h->waiter->now();
        h->peer->hangUp();
        QVERIFY(h->link->ReadReplyLine().timedOut);
        QVERIFY(h->waiter->now() - start < wire::kReplyTimeout);
        QCOMPARE(h->link->statusCaption(), QStringLiteral("Disconnected"));
        QVERIFY(h->ui.messages.isEmpty());
        // Lost before the next wait began (while its command went out): that
        // wait ends at once as well, not after the 5-second time-out.
        const auto next = h->waiter->now();
        QVERIFY(h->link->ReadReplyLine().timedOut);
        QVERIFY(h->waiter->now() - next < wire::kReplyTimeout);
    }

    // More than the device's output buffer holds, written at once and followed at
    // once by "Disconnect": a full buffer is no lost link, and the close lets the
    // queued bytes out first.
    void bulkWriteThenDisconnect()
    {
        testing::SlowPtyReader far;
        wire::CommSettings comm;
        wire::applyCommDefaults(comm);
        comm.device = far.path;
        testing::Recorder ui;
        wire::EventLoopWaiter waiter;
        wire::QtSerialIo serial;
        wire::QtTcpIo tcp;
        wire::Link link(comm, waiter, ui, serial, tcp);
        link.ConnectLink();
        QCOMPARE(link.statusCaption(), QStringLiteral("Connected"));
        const QByteArray payload = testing::bulkPayload(qsizetype{64} * 1024);
        far.start(payload.size());
        QVERIFY(link.write(payload));
        waiter.sleep(wire::Ms{20});
        QCOMPARE(link.statusCaption(), QStringLiteral("Connected"));
        link.DisconnectLink();
        QVERIFY(ui.messages.isEmpty());
        QVERIFY(far.received() == payload);
    }
};

QTEST_GUILESS_MAIN(TestLinkContract)
#include "tst_link_contract.moc"
