#pragma once

#include "link/traits.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace wire {

// Which transport a link runs on, numbered as the controller tools have
// always numbered the link mode; a serial line behind a device server that
// speaks RFC 2217 is ours. Only the link tells them apart.
enum class LinkKind : qint16 { Tcp = 1, Serial = 2, Rfc2217 = 3 };

// How the operations treat each transport.
const Traits &traitsOf(LinkKind kind);

// Where a link goes: a serial device with its rate, a host and port, or a
// device server's port with the rate of the line behind it. The one form
// every front end names a link in; "serial:DEVICE", "tcp:HOST[:PORT]" and
// "rfc2217:HOST:PORT" as the inventory writes them.
class Endpoint {
public:
    static constexpr quint16 kDefaultTcpPort = 57;
    static constexpr qint32 kDefaultBaud = 9600;

    // A serial endpoint without a device, until one is given.
    Endpoint() = default;

    static Endpoint serial(const QString &device, qint32 baud = kDefaultBaud);
    static Endpoint tcp(const QString &host, quint16 port = kDefaultTcpPort);
    static Endpoint rfc2217(const QString &host, quint16 port, qint32 baud = kDefaultBaud);

    // "serial:DEVICE", "tcp:HOST[:PORT]" or "rfc2217:HOST:PORT" (device
    // servers have no common port); an IPv6 address in brackets when a port
    // follows it ("tcp:[::1]:57"). Nothing, and why in the inventory's
    // words, for anything else.
    static std::optional<Endpoint> parse(const QString &text, QString *why = nullptr);
    // Whether option is a command-line link option (--serial, --tcp, --rfc2217).
    static bool isOption(const QString &option);
    // The value of such an option (--serial DEVICE, --tcp HOST[:PORT],
    // --rfc2217 HOST:PORT); nothing, and why in the option's words, for a bad one.
    static std::optional<Endpoint> fromOption(const QString &option, const QString &value, QString *why);

    // Sets the rate of a link whose rate is ours to set; why not otherwise.
    QString setBaud(qint32 baud);

    LinkKind kind() const { return m_kind; }
    const Traits &traits() const { return traitsOf(m_kind); }
    const QString &device() const { return m_device; }
    qint32 baud() const { return m_baud; } // 0 where the rate is not ours
    const QString &host() const { return m_host; }
    quint16 port() const { return m_port; }
    // HOST:PORT, the host in brackets when it is an IPv6 address.
    QString hostPort() const;

    // serial:/dev/ttyUSB0, tcp:host:57, tcp:[::1]:57, rfc2217:host:2001:
    // what the journal and the reports print, and what parse() reads back.
    QString toString() const;
    // In words, as a run record's heading gives the link.
    QString description() const;
    // tarnic-cli's options for this link.
    QStringList cliArguments() const;
    // What the link reaches, whatever its spelling: two links with a key in
    // common reach one controller (or one shared line) and must never be used
    // at once. A serial device is known by the device itself (a symbolic link
    // or a /dev/serial/by-id name gives the same key as the device it points
    // to); a TCP peer by each address its host name resolves to, with the
    // port, whether it is spoken to raw or through RFC 2217.
    QStringList linkKeys() const;

private:
    LinkKind m_kind = LinkKind::Serial;
    QString m_device;
    qint32 m_baud = kDefaultBaud;
    QString m_host;
    quint16 m_port = 0;
};

} // namespace wire
