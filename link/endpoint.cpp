#include "link/endpoint.h"

#include "link/commsettings.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QHostInfo>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace wire {

namespace {

const QLatin1String kSerialPrefix("serial:");
const QLatin1String kTcpPrefix("tcp:");

bool isIpv6(const QString &host)
{
    QHostAddress address;
    return address.setAddress(host) && address.protocol() == QAbstractSocket::IPv6Protocol;
}

// HOST, HOST:PORT, [IPV6] or [IPV6]:PORT; a bare IPv6 address is a host
// without a port.
std::optional<Endpoint> parseHostPort(const QString &value)
{
    QString host = value;
    QString port;
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
        else
            port = QString::number(Endpoint::kDefaultTcpPort);
    } else if (value.count(QLatin1Char(':')) > 1) {
        if (!isIpv6(value))
            return std::nullopt;
        port = QString::number(Endpoint::kDefaultTcpPort);
    } else {
        const qsizetype colon = value.indexOf(QLatin1Char(':'));
        host = colon < 0 ? value : value.left(colon);
        port = colon < 0 ? QString::number(Endpoint::kDefaultTcpPort) : value.mid(colon + 1);
    }
    bool ok = false;
    const uint number = port.toUInt(&ok);
    if (host.isEmpty() || !ok || number == 0 || number > 65535)
        return std::nullopt;
    return Endpoint::tcp(host, static_cast<quint16>(number));
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
    if (!text.startsWith(kTcpPrefix))
        return fail(QStringLiteral("link %1 is neither tcp:HOST[:PORT] nor serial:DEVICE").arg(text));
    auto tcp = parseHostPort(text.mid(kTcpPrefix.size()));
    if (!tcp)
        return fail(QStringLiteral("link %1: tcp takes HOST or HOST:PORT").arg(text));
    return tcp;
}

bool Endpoint::isOption(const QString &option)
{
    return option == QLatin1String("--serial") || option == QLatin1String("--tcp");
}

std::optional<Endpoint> Endpoint::fromOption(const QString &option, const QString &value, QString *why)
{
    const bool serialOption = option == QLatin1String("--serial");
    auto endpoint = parse((serialOption ? kSerialPrefix : kTcpPrefix) + value);
    if (!endpoint)
        *why =
            serialOption ? QStringLiteral("--serial needs a device") : QStringLiteral("--tcp takes HOST or HOST:PORT");
    return endpoint;
}

QString Endpoint::setBaud(qint32 baud)
{
    if (m_kind != LinkKind::Serial)
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
    if (m_kind == LinkKind::Tcp)
        return kTcpPrefix + hostPort();
    return kSerialPrefix + m_device;
}

QString Endpoint::description() const
{
    if (m_kind == LinkKind::Tcp)
        return QStringLiteral("TCP ") + hostPort();
    return QStringLiteral("serial %1 at %2 baud").arg(m_device).arg(m_baud);
}

QStringList Endpoint::cliArguments() const
{
    if (m_kind == LinkKind::Tcp)
        return {QStringLiteral("--tcp"), hostPort()};
    return {QStringLiteral("--serial"), m_device, QStringLiteral("--baud"), QString::number(m_baud)};
}

QStringList Endpoint::linkKeys() const
{
    return m_kind == LinkKind::Tcp ? tcpLinkKeys(m_host, m_port) : serialLinkKeys(m_device);
}

} // namespace wire
