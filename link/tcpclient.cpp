#include "link/tcpclient.h"

#include <QVariant>

namespace wire {

QString describeConnectError(const QAbstractSocket &socket)
{
    switch (socket.error()) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("connection refused (nothing listens on that port)");
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("no such host");
    case QAbstractSocket::NetworkError:
        return QStringLiteral("host unreachable");
    case QAbstractSocket::UnknownSocketError:
    case QAbstractSocket::SocketTimeoutError:
        return {};
    default:
        return socket.errorString();
    }
}

bool sendAll(QAbstractSocket &socket, const QByteArray &bytes)
{
    if (socket.write(bytes) != bytes.size())
        return false;
    socket.flush();
    return true;
}

void setLowDelay(QAbstractSocket &socket) { socket.setSocketOption(QAbstractSocket::LowDelayOption, QVariant(1)); }

} // namespace wire
