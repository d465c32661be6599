#include "sim/endpoint.h"

#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

Endpoint::Endpoint(Controller &controller, int paceBaud, QObject *parent)
    : QObject(parent), m_controller(controller), m_baud(paceBaud)
{
    if (m_baud <= 0)
        return;
    // Rounded up: never faster than the line.
    m_byteNs = (10'000'000'000LL + m_baud - 1) / m_baud;
    m_timerFd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_timerFd < 0) {
        std::fprintf(stderr, "tarnic-sim: no timer for pacing: %s\n", strerror(errno));
        std::exit(1);
    }
    m_timer = new QSocketNotifier(m_timerFd, QSocketNotifier::Read, this);
    connect(m_timer, &QSocketNotifier::activated, this, [this] {
        quint64 expirations = 0;
        [[maybe_unused]] const ssize_t n = ::read(m_timerFd, &expirations, sizeof expirations);
        deliverDue();
    });
}

Endpoint::~Endpoint()
{
    if (m_timerFd >= 0)
        ::close(m_timerFd);
}

qint64 Endpoint::nowNs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<qint64>(ts.tv_sec) * 1'000'000'000LL + ts.tv_nsec;
}

void Endpoint::attach()
{
    m_controller.send = [this](const QByteArray &bytes) {
        if (m_baud <= 0)
            writeOut(bytes);
        else
            queueOut(bytes, false);
    };
    m_controller.drop = [this] {
        if (m_baud > 0) {
            // After what is already on the line.
            queueOut(QByteArray(), true);
            return;
        }
        dropPeer();
    };
}

void Endpoint::beginSession()
{
    m_out.clear();
    m_inFree = m_outFree = 0;
    attach();
    m_controller.resetSession();
}

void Endpoint::received(const QByteArray &bytes)
{
    attach();
    if (m_baud <= 0) {
        m_controller.feed(bytes);
        return;
    }
    // The controller sees each byte at once but answers as of the moment the
    // byte would have arrived; only the answers wait for the line.
    const qint64 now = nowNs();
    for (const char c : bytes) {
        m_inFree = std::max(m_inFree, now) + m_byteNs;
        m_virtualNow = m_inFree;
        m_controller.feed(QByteArray(1, c));
    }
    m_virtualNow = -1;
}

void Endpoint::queueOut(const QByteArray &bytes, bool drop)
{
    const qint64 start = m_virtualNow >= 0 ? m_virtualNow : nowNs();
    if (drop) {
        m_out.push_back({std::max(m_outFree, start), 0, true});
    }
    for (const char c : bytes) {
        m_outFree = std::max(m_outFree, start) + m_byteNs;
        m_out.push_back({m_outFree, c, false});
    }
    arm();
}

void Endpoint::deliverDue()
{
    const qint64 now = nowNs();
    QByteArray chunk;
    while (!m_out.empty() && m_out.front().at <= now) {
        const Due d = m_out.front();
        m_out.pop_front();
        if (d.drop) {
            if (!chunk.isEmpty())
                writeOut(chunk);
            m_out.clear();
            dropPeer();
            return;
        }
        chunk.append(d.byte);
    }
    if (!chunk.isEmpty())
        writeOut(chunk);
    arm();
}

void Endpoint::arm()
{
    itimerspec spec{};
    if (!m_out.empty()) {
        // The process sleeps until the byte is due. Wake-ups fall on a grid
        // of one byte's time on the line, so that the many controllers of one
        // simulator wake together rather than one by one: an answer is at
        // most a byte late, under 2 % of a block's round trip at any rate.
        // An absolute zero would disarm the timer; anything past is due at once.
        const qint64 at = std::max<qint64>((m_out.front().at + m_byteNs - 1) / m_byteNs * m_byteNs, 1);
        spec.it_value.tv_sec = at / 1'000'000'000LL;
        spec.it_value.tv_nsec = at % 1'000'000'000LL;
    }
    ::timerfd_settime(m_timerFd, TFD_TIMER_ABSTIME, &spec, nullptr);
}

TcpEndpoint::TcpEndpoint(Controller &controller, int paceBaud, QObject *parent)
    : Endpoint(controller, paceBaud, parent), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *next = m_server->nextPendingConnection()) {
            // One controller, one client: a new client replaces the old one.
            if (m_peer)
                m_peer->abort(), m_peer->deleteLater();
            m_peer = next;
            m_peer->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            beginSession();
            connect(m_peer, &QTcpSocket::readyRead, this, [this, next] {
                if (next == m_peer)
                    received(m_peer->readAll());
            });
            connect(m_peer, &QTcpSocket::disconnected, this, [this, next] {
                if (next == m_peer)
                    m_peer = nullptr;
                next->deleteLater();
            });
        }
    });
}

bool TcpEndpoint::listen(const QString &address, quint16 port, QString *error)
{
    if (!m_server->listen(QHostAddress(address), port)) {
        *error = m_server->errorString();
        return false;
    }
    return true;
}

quint16 TcpEndpoint::port() const { return m_server->serverPort(); }

void TcpEndpoint::writeOut(const QByteArray &bytes)
{
    if (m_peer)
        m_peer->write(bytes);
}

void TcpEndpoint::dropPeer()
{
    if (m_peer) {
        QTcpSocket *peer = m_peer;
        m_peer = nullptr;
        peer->abort();
        peer->deleteLater();
    }
}

PtyEndpoint::PtyEndpoint(Controller &controller, int paceBaud, QObject *parent) : Endpoint(controller, paceBaud, parent)
{}

PtyEndpoint::~PtyEndpoint()
{
    if (m_master >= 0)
        ::close(m_master);
    if (m_slaveKeep >= 0)
        ::close(m_slaveKeep);
}

bool PtyEndpoint::open(QString *error)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        *error = QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(::ptsname(m_master));
    // Keep one slave descriptor open so that the master does not see a hang-up
    // each time the program closes the port; it is also where the line is
    // made raw.
    m_slaveKeep = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY);
    if (m_slaveKeep >= 0) {
        termios t{};
        if (::tcgetattr(m_slaveKeep, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(m_slaveKeep, TCSANOW, &t);
        }
    }
    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PtyEndpoint::readMaster);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PtyEndpoint::flushPending);
    beginSession();
    return true;
}

void PtyEndpoint::readMaster()
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            received(QByteArray(buffer, static_cast<qsizetype>(n)));
            continue;
        }
        return;
    }
}

void PtyEndpoint::writeOut(const QByteArray &bytes)
{
    m_pending.append(bytes);
    flushPending();
}

void PtyEndpoint::flushPending()
{
    while (!m_pending.isEmpty()) {
        const ssize_t n = ::write(m_master, m_pending.constData(), static_cast<size_t>(m_pending.size()));
        if (n <= 0)
            break;
        m_pending.remove(0, n);
    }
    m_writeNotifier->setEnabled(!m_pending.isEmpty());
}

// A pseudo-terminal has no connection to drop: the line goes dead by closing
// the master; the program sees its port fail, as with a pulled adapter.
void PtyEndpoint::dropPeer()
{
    m_pending.clear();
    if (m_readNotifier)
        m_readNotifier->setEnabled(false);
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(false);
    if (m_slaveKeep >= 0) {
        ::close(m_slaveKeep);
        m_slaveKeep = -1;
    }
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

} // namespace sim
