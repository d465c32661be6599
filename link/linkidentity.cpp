#include "link/linkidentity.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QHostInfo>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace wire {

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

} // namespace wire
