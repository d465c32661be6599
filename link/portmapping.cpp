#include "link/portmapping.h"

namespace wire {

QString serialDeviceFor(int port, const QString &deviceField)
{
    QString typed = deviceField.trimmed();
    if (!typed.isEmpty())
        return typed;
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}

} // namespace wire
