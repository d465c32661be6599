#include "link/commsettings.h"

namespace wire {

void applyCommDefaults(CommSettings &comm)
{
    comm.mode = CommSettings::Mode::Serial;
    comm.port = 2;
    comm.baud = 9600;
    comm.ipAddress = kDefaultIpAddress;
    comm.tcpPort = QStringLiteral("57");
}

QString serialSettingsString(qint32 baud) { return QStringLiteral("%1,N,8,1").arg(baud); }

} // namespace wire
