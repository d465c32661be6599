#pragma once

#include <QString>
#include <QStringList>

namespace wire {

// What a link reaches, whatever its spelling: two links with a key in common
// reach one controller (or one shared line) and must never be used at once.
// A serial device is known by the device itself (a symbolic link or a
// /dev/serial/by-id name gives the same key as the device it points to); a
// TCP peer by each address its host name resolves to, with the port.
QStringList serialLinkKeys(const QString &device);
QStringList tcpLinkKeys(const QString &host, quint16 port);

} // namespace wire
