#pragma once

#include <QStringList>

namespace wire {

// Devices and TCP addresses that opened before, newest first, kept between
// runs so the technician need not type a long device path twice. They are
// offered, never selected on their own.
inline constexpr qsizetype kRecentKept = 8;

QStringList recentDevices();
QStringList recentAddresses();
void rememberDevice(const QString &device);
void rememberAddress(const QString &address);

} // namespace wire
