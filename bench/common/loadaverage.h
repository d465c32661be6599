#pragma once

#include <QByteArray>
#include <QFile>

namespace bench {

// The figures mean little on a busy machine; say how busy it was.
inline QByteArray loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? f.readLine().trimmed() : QByteArray("unknown");
}

} // namespace bench
