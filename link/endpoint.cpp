#include "link/endpoint.h"

#include "link/commsettings.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QHostInfo>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace wire {

namespace {

constexpr QLatin1String kSerialPrefix("serial:");
constexpr QLatin1String kTcpPrefix("tcp:");
constexpr QLatin1String kRfc2217Prefix("rfc2217:");

// The command line's link options, with the inventory's form each stands for.
struct LinkOption {
    QLatin1String option;
    QLatin1String prefix;
    QLatin1String takes; // what a bad value is told
};
constexpr LinkOption kLinkOptions[] = {
    {QLatin1String("--serial"), kSerialPrefix, QLatin1String("--serial needs a device")},
    {QLatin1String("--tcp"), kTcpPrefix, QLatin1String("--tcp takes HOST or HOST:PORT")},
    {QLatin1String("--rfc2217"), kRfc2217Prefix,
     QLatin1String("--rfc2217 takes HOST:PORT (the device server's port for the line)")},
};

const LinkOption *linkOption(const QString &option)
{
    for (const LinkOption &o : kLinkOptions)
        if (option == o.option)
            return &o;
    return nullptr;
}

bool isIpv6(const QString &host)
{
    QHostAddress address;
    return address.setAddress(host) && address.protocol() == QAbstractSocket::IPv6Protocol;
}

struct HostPort {
    QString host;
    quint16 port = 0;
};

// HOST, HOST:PORT, [IPV6] or [IPV6]:PORT; a bare IPv6 address is a host
// without a port. Without a port, the default; none means one is required.
std::optional<HostPort> parseHostPort(const QString &value, std::optional<quint16> defaultPort)
{
    QString host = value;
    std::optional<QString> port;
    if (value.startsWith(QLatin1Char('['))) {
        const qsizetype close = value.indexOf(QLatin1Char(']'));
        if (close < 0)
            return std::nullopt;
        host = value.mid(1, close - 1);
        const QString rest = value.mid(close + 1);
        if (!isIpv6(host) || (!rest.isEmpty() && !rest.startsWith(QLatin1Char(':'))))
            return std::nullopt;
        if (!rest.isEmpty())
            port = rest.mid(1);
    } else if (value.count(QLatin1Char(':')) > 1) {
        if (!isIpv6(value))
            return std::nullopt;
    } else if (const qsizetype colon = value.indexOf(QLatin1Char(':')); colon >= 0) {
        host = value.left(colon);
        port = value.mid(colon + 1);
    }
    if (!port && !defaultPort)
        return std::nullopt;
    bool ok = true;
    const uint number = port ? port->toUInt(&ok) : *defaultPort;
    if (host.isEmpty() || !ok || number == 0 || number > 65535)
        return std::nullopt;
    return HostPort{host, static_cast<quint16>(number)};
}

QStringList serialLinkKeys(const QString &device)
{
    struct stat st {};
    if (::stat(QFile::encodeName(device).constData(), &st) == 0 && S_ISCHR(st.st_mode))
        return {QStringLiteral("serial:%1:%2").arg(major(st.st_rdev)).arg(minor(st.st_rdev))};
    // Not there (yet): the path it resolves to, as far as it does.
    const QString canonical = QFileInfo(device).canonicalFilePath();
    return {QStringLiteral("serial:") + (canonical.isEmpty() ? device : canonical)};
}

QStringList tcpLinkKeys(const QString &host, quint16 port)
{
    QList<QHostAddress> addresses;
    if (QHostAddress address; address.setAddress(host))
        addresses << address;
    else
        addresses = QHostInfo::fromName(host).addresses();
    QStringList keys;
    for (const QHostAddress &a : addresses)
        keys << QStringLiteral("tcp:[%1]:%2").arg(a.toString()).arg(port);
    // A name that does not resolve fails to connect; it still shares with
    // its own spelling.
    if (keys.isEmpty())
        keys << QStringLiteral("tcp:%1:%2").arg(host.toLower()).arg(port);
    return keys;
}

} // namespace

// A device server's port is a serial line in every way the operations see.
const Traits &traitsOf(LinkKind kind) { return kind == LinkKind::Tcp ? kNetworkTraits : kLineTraits; }

Endpoint Endpoint::serial(const QString &device, qint32 baud)
{
    Endpoint e;
    e.m_kind = LinkKind::Serial;
    e.m_device = device;
    e.m_baud = baud;
    return e;
}

Endpoint Endpoint::tcp(const QString &host, quint16 port)
{
    Endpoint e;
    e.m_kind = LinkKind::Tcp;
    e.m_baud = 0;
    e.m_host = host;
    e.m_port = port;
    return e;
}

Endpoint Endpoint::rfc2217(const QString &host, quint16 port, qint32 baud)
{
    Endpoint e = tcp(host, port);
    e.m_kind = LinkKind::Rfc2217;
    e.m_baud = baud;
    return e;
}

std::optional<Endpoint> Endpoint::parse(const QString &text, QString *why)
{
    auto fail = [why](const QString &reason) {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    if (text.startsWith(kSerialPrefix)) {
        const QString device = text.mid(kSerialPrefix.size());
        if (device.isEmpty())
            return fail(QStringLiteral("serial: needs a device"));
        return serial(device);
    }
    if (text.startsWith(kRfc2217Prefix)) {
        const auto server = parseHostPort(text.mid(kRfc2217Prefix.size()), std::nullopt);
        if (!server)
            return fail(QStringLiteral("link %1: rfc2217 takes HOST:PORT").arg(text));
        return rfc2217(server->host, server->port);
    }
    if (!text.startsWith(kTcpPrefix))
        return fail(
            QStringLiteral("link %1 is none of tcp:HOST[:PORT], serial:DEVICE and rfc2217:HOST:PORT").arg(text));
    const auto peer = parseHostPort(text.mid(kTcpPrefix.size()), kDefaultTcpPort);
    if (!peer)
        return fail(QStringLiteral("link %1: tcp takes HOST or HOST:PORT").arg(text));
    return tcp(peer->host, peer->port);
}

bool Endpoint::isOption(const QString &option) { return linkOption(option) != nullptr; }

std::optional<Endpoint> Endpoint::fromOption(const QString &option, const QString &value, QString *why)
{
    const LinkOption *o = linkOption(option);
    Q_ASSERT(o);
    auto endpoint = parse(o->prefix + value);
    if (!endpoint)
        *why = o->takes;
    return endpoint;
}

QString Endpoint::setBaud(qint32 baud)
{
    if (!traits().rateIsOurs)
        return QStringLiteral("baud applies to a serial link only");
    if (!baudChoices().contains(baud))
        return QStringLiteral("baud takes 9600, 19200, 38400, 57600 or 115200");
    m_baud = baud;
    return {};
}

QString Endpoint::hostPort() const
{
    const QString host = m_host.contains(QLatin1Char(':')) ? QLatin1Char('[') + m_host + QLatin1Char(']') : m_host;
    return host + QLatin1Char(':') + QString::number(m_port);
}

QString Endpoint::toString() const
{
    switch (m_kind) {
    case LinkKind::Tcp:
        return kTcpPrefix + hostPort();
    case LinkKind::Rfc2217:
        return kRfc2217Prefix + hostPort();
    case LinkKind::Serial:
        break;
    }
    return kSerialPrefix + m_device;
}

QString Endpoint::description() const
{
    switch (m_kind) {
    case LinkKind::Tcp:
        return QStringLiteral("TCP ") + hostPort();
    case LinkKind::Rfc2217:
        return QStringLiteral("RFC 2217 %1 at %2 baud").arg(hostPort()).arg(m_baud);
    case LinkKind::Serial:
        break;
    }
    return QStringLiteral("serial %1 at %2 baud").arg(m_device).arg(m_baud);
}

QStringList Endpoint::cliArguments() const
{
    const QStringList baud{QStringLiteral("--baud"), QString::number(m_baud)};
    switch (m_kind) {
    case LinkKind::Tcp:
        return {QStringLiteral("--tcp"), hostPort()};
    case LinkKind::Rfc2217:
        return QStringList{QStringLiteral("--rfc2217"), hostPort()} + baud;
    case LinkKind::Serial:
        break;
    }
    return QStringList{QStringLiteral("--serial"), m_device} + baud;
}

QStringList Endpoint::linkKeys() const
{
    return m_kind == LinkKind::Serial ? serialLinkKeys(m_device) : tcpLinkKeys(m_host, m_port);
}

} // namespace wire
