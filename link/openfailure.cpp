#include "link/openfailure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wire {

namespace {

QString processName(const QString &pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(comm.readAll()).trimmed();
}

QString holder(const QString &pid)
{
    const QString name = processName(pid);
    return name.isEmpty() ? QStringLiteral("PID %1").arg(pid) : QStringLiteral("%1, PID %2").arg(name, pid);
}

// The processes whose open descriptors we may read that have the device open,
// and the owner of a lock file that serial tools leave beside it.
QStringList holdersOf(const QString &canonical)
{
    QStringList found;
    const QString base = QFileInfo(canonical).fileName();
    for (const QString &dir : {QStringLiteral("/run/lock"), QStringLiteral("/var/lock")}) {
        QFile lock(QStringLiteral("%1/LCK..%2").arg(dir, base));
        if (!lock.open(QIODevice::ReadOnly))
            continue;
        const QString pid = QString::fromLatin1(lock.readAll()).section(QLatin1Char('\n'), 0, 0).trimmed();
        if (!pid.isEmpty() && QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)) && !found.contains(holder(pid)))
            found << holder(pid);
    }
    const QString self = QString::number(::getpid());
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs);
    for (const QString &pid : pids) {
        if (pid == self)
            continue;
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
        const QStringList entries = fds.entryList(QDir::System | QDir::NoDotAndDotDot);
        for (const QString &fd : entries) {
            if (QFileInfo(fds.filePath(fd)).symLinkTarget() == canonical) {
                if (!found.contains(holder(pid)))
                    found << holder(pid);
                break;
            }
        }
    }
    return found;
}

bool brailleServiceRuns()
{
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs);
    for (const QString &pid : pids)
        if (processName(pid) == QLatin1String("brltty"))
            return true;
    return false;
}

bool isUsbAdapter(const QString &device, const QString &canonical)
{
    return device.startsWith(QLatin1String("/dev/serial/")) || canonical.contains(QLatin1String("ttyUSB"))
        || canonical.contains(QLatin1String("ttyACM"));
}

QString groupOf(const QString &path)
{
    struct stat st {};
    // Joining the group helps only where the group may read and write.
    if (::stat(QFile::encodeName(path).constData(), &st) != 0
        || (st.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP))
        return {};
    const group *g = ::getgrgid(st.st_gid);
    return g ? QString::fromLocal8Bit(g->gr_name) : QString::number(st.st_gid);
}

QString currentUser()
{
    const passwd *pw = ::getpwuid(::getuid());
    return pw ? QString::fromLocal8Bit(pw->pw_name) : QStringLiteral("$USER");
}

} // namespace

SerialOpenFailure diagnoseSerialOpen(const QString &device, const QString &systemText)
{
    SerialOpenFailure f;
    f.device = device;
    f.detail = systemText;
    const QFileInfo info(device);
    const QString canonical = info.exists() ? info.canonicalFilePath() : device;
    f.brailleService = isUsbAdapter(device, canonical) && brailleServiceRuns();
    f.builtInPort = QFileInfo(canonical).fileName().startsWith(QLatin1String("ttyS"));
    if (!info.exists()) {
        f.reason = SerialOpenFailure::Reason::Missing;
        return f;
    }
    const int fd = ::open(QFile::encodeName(canonical).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const int error = errno;
    if (fd >= 0)
        ::close(fd);
    if (fd < 0 && (error == EACCES || error == EPERM)) {
        f.reason = SerialOpenFailure::Reason::Forbidden;
        f.group = groupOf(canonical);
        f.user = currentUser();
        return f;
    }
    if (fd < 0 && (error == ENOENT || error == ENODEV || error == ENXIO)) {
        f.reason = SerialOpenFailure::Reason::Missing;
        return f;
    }
    // Busy shows as EBUSY (another program holds it exclusively) or as a
    // lock file whose owner still runs.
    f.holders = holdersOf(canonical);
    if ((fd < 0 && error == EBUSY) || !f.holders.isEmpty())
        f.reason = SerialOpenFailure::Reason::Busy;
    return f;
}

QString describe(const SerialOpenFailure &f)
{
    QString text = QStringLiteral("cannot open %1: ").arg(f.device);
    switch (f.reason) {
    case SerialOpenFailure::Reason::Missing:
        text += f.builtInPort ? QStringLiteral("no such device (this computer has no such serial port)")
                              : QStringLiteral("no such device (is the adapter plugged in?)");
        break;
    case SerialOpenFailure::Reason::Busy:
        text += QStringLiteral("busy, another program has it open");
        if (!f.holders.isEmpty())
            text += QStringLiteral(" (held by %1)").arg(f.holders.join(QStringLiteral("; ")));
        break;
    case SerialOpenFailure::Reason::Forbidden:
        text += QStringLiteral("permission denied. ");
        if (!f.group.isEmpty() && f.group != QLatin1String("root"))
            text +=
                QStringLiteral("Join the group %1 (sudo usermod -aG %1 %2, then log in again)").arg(f.group, f.user);
        else
            text += QStringLiteral("Ask for access to the device");
        text += QStringLiteral(", or install the package's udev rule for USB serial adapters");
        break;
    case SerialOpenFailure::Reason::Other:
        text += f.detail.isEmpty() ? QStringLiteral("the port refused the settings") : f.detail;
        break;
    }
    if (f.brailleService && f.reason != SerialOpenFailure::Reason::Forbidden)
        text += QStringLiteral(". The braille display service brltty runs and is known to claim USB serial adapters; "
                               "without a braille display, remove it (sudo apt-get remove brltty)");
    return text;
}

} // namespace wire
