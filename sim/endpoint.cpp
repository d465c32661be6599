#include "sim/endpoint.h"

#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

Endpoint::Endpoint(Controller &controller, Pacer *pacer, QObject *parent)
    : QObject(parent), m_controller(controller), m_pacer(pacer)
{}

Endpoint::~Endpoint()
{
    if (m_pacer)
        m_pacer->wakeAt(this, -1);
}

void Endpoint::attach()
{
    m_controller.send = [this](const QByteArray &bytes) {
        if (!m_pacer)
            writeOut(bytes);
        else
            queueOut(bytes, false);
    };
    m_controller.drop = [this] {
        if (m_pacer) {
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
    if (!m_pacer) {
        m_controller.feed(bytes);
        return;
    }
    // The controller sees each byte at once but answers as of the moment the
    // byte would have arrived; only the answers wait for the line.
    const qint64 now = Pacer::nowNs();
    for (const char c : bytes) {
        m_inFree = std::max(m_inFree, now) + m_pacer->byteNs();
        m_virtualNow = m_inFree;
        m_controller.feed(QByteArray(1, c));
    }
    m_virtualNow = -1;
}

void Endpoint::queueOut(const QByteArray &bytes, bool drop)
{
    const qint64 start = m_virtualNow >= 0 ? m_virtualNow : Pacer::nowNs();
    if (drop) {
        m_out.push_back({std::max(m_outFree, start), 0, true});
    }
    for (const char c : bytes) {
        m_outFree = std::max(m_outFree, start) + m_pacer->byteNs();
        m_out.push_back({m_outFree, c, false});
    }
    arm();
}

void Endpoint::deliverDue()
{
    const qint64 now = Pacer::nowNs();
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

void Endpoint::arm() { m_pacer->wakeAt(this, m_out.empty() ? -1 : m_out.front().at); }

TcpEndpoint::TcpEndpoint(Controller &controller, Pacer *pacer, QObject *parent)
    : Endpoint(controller, pacer, parent), m_server(new QTcpServer(this))
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

PtyEndpoint::PtyEndpoint(Controller &controller, Pacer *pacer, QObject *parent) : Endpoint(controller, pacer, parent) {}

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
