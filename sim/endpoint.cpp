#include "sim/endpoint.h"

#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

Endpoint::Endpoint(Controller &controller, int paceBaud, QObject *parent)
    : QObject(parent), m_controller(controller), m_baud(paceBaud)
{
    m_tick.setInterval(1);
    m_tick.setTimerType(Qt::PreciseTimer);
    connect(&m_tick, &QTimer::timeout, this, &Endpoint::pump);
    m_clock.start();
}

void Endpoint::attach()
{
    m_controller.send = [this](const QByteArray &bytes) {
        if (m_baud <= 0) {
            writeOut(bytes);
            return;
        }
        m_out.append(bytes);
        if (!m_tick.isActive())
            m_tick.start();
    };
    m_controller.drop = [this] {
        m_in.clear();
        m_out.clear();
        dropPeer();
    };
}

void Endpoint::beginSession()
{
    m_in.clear();
    m_out.clear();
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
    m_in.append(bytes);
    if (!m_tick.isActive()) {
        m_last = m_clock.nsecsElapsed();
        m_tick.start();
    }
}

void Endpoint::pump()
{
    const qint64 now = m_clock.nsecsElapsed();
    const double bytesPerNs = m_baud / 10.0 / 1e9;
    const double earned = static_cast<double>(now - m_last) * bytesPerNs;
    m_last = now;
    // A budget never builds up while a direction is idle.
    m_inBudget = m_in.isEmpty() ? 0 : m_inBudget + earned;
    m_outBudget = m_out.isEmpty() ? 0 : m_outBudget + earned;
    if (const auto n = std::min<qsizetype>(m_in.size(), static_cast<qsizetype>(m_inBudget)); n > 0) {
        const QByteArray chunk = m_in.left(n);
        m_in.remove(0, n);
        m_inBudget -= static_cast<double>(n);
        m_controller.feed(chunk);
    }
    if (const auto n = std::min<qsizetype>(m_out.size(), static_cast<qsizetype>(m_outBudget)); n > 0) {
        const QByteArray chunk = m_out.left(n);
        m_out.remove(0, n);
        m_outBudget -= static_cast<double>(n);
        writeOut(chunk);
    }
    if (m_in.isEmpty() && m_out.isEmpty())
        m_tick.stop();
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

PtyEndpoint::PtyEndpoint(Controller &controller, int paceBaud, QObject *parent)
    : Endpoint(controller, paceBaud, parent)
{
}

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
