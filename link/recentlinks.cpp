#include "link/recentlinks.h"

#include "core/programsettings.h"

namespace wire {

namespace {
const QString kDevices = QStringLiteral("recent/devices");
const QString kAddresses = QStringLiteral("recent/addresses");

QStringList read(const QString &key) { return core::programSettings().value(key).toStringList(); }

void prepend(const QString &key, const QString &entry)
{
    if (entry.isEmpty())
        return;
    QStringList list = read(key);
    list.removeAll(entry);
    list.prepend(entry);
    core::programSettings().setValue(key, list.mid(0, kRecentKept));
}
} // namespace

QStringList recentDevices() { return read(kDevices); }

QStringList recentAddresses() { return read(kAddresses); }

void rememberDevice(const QString &device) { prepend(kDevices, device); }

void rememberAddress(const QString &address) { prepend(kAddresses, address); }

} // namespace wire
