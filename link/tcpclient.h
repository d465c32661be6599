#pragma once

#include <QAbstractSocket>
#include <QString>

namespace wire {

// What the link's TCP client sockets share, whatever runs over them.

// Why a TCP connect has not succeeded, in a few words ("connection refused");
// empty while it has simply had no answer.
QString describeConnectError(const QAbstractSocket &socket);

// Queues bytes on a connected socket and starts them on their way; false
// when the socket did not take them all.
bool sendAll(QAbstractSocket &socket, const QByteArray &bytes);

// Sends each write at once (TCP_NODELAY). A stop-and-wait exchange writes a
// frame and waits for a one-byte answer: Nagle's algorithm would hold the
// next small write until that answer's acknowledgement, which the peer
// delays. Takes effect on a connected socket.
void setLowDelay(QAbstractSocket &socket);

} // namespace wire
