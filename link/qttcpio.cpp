#include "link/qttcpio.h"

#include "link/drain.h"
#include "link/tcpclient.h"

namespace wire {

QtTcpIo::QtTcpIo(QObject *parent) : TcpIo(parent)
{
    m_socket.setReadBufferSize(kReadBufferLimit);
    connect(&m_socket, &QTcpSocket::readyRead, this, &ByteIo::readyRead);
    connect(&m_socket, &QTcpSocket::connected, this, [this] {
        setLowDelay(m_socket);
        Q_EMIT connected();
    });
    connect(&m_socket, &QTcpSocket::disconnected, this, &ByteIo::lost);
}

void QtTcpIo::connectToHost(const QString &host, quint16 port)
{
    m_socket.abort();
    m_socket.connectToHost(host, port);
}

QString QtTcpIo::connectFailure() const { return describeConnectError(m_socket); }

bool QtTcpIo::isOpen() const { return m_socket.state() == QAbstractSocket::ConnectedState; }

// Bytes already received stay readable after the peer has gone.
qint64 QtTcpIo::bytesAvailable() const { return m_socket.bytesAvailable(); }

QByteArray QtTcpIo::read(qint64 max) { return m_socket.read(max); }

bool QtTcpIo::write(const QByteArray &bytes) { return isOpen() && sendAll(m_socket, bytes); }

qint64 QtTcpIo::bytesToWrite() const { return m_socket.bytesToWrite(); }

void QtTcpIo::close()
{
    if (isOpen())
        drainQueuedWrites(m_socket);
    m_socket.abort();
}

} // namespace wire
