#include "link/commsettings.h"

namespace wire {

void applyCommDefaults(CommSettings &comm)
{
    comm.mode = CommSettings::Mode::Serial;
    comm.port = 2;
    comm.baud = 9600;
    comm.ipAddress = kDefaultIpAddress;
    comm.tcpPort = QString::number(Endpoint::kDefaultTcpPort);
}

void CommSettings::select(const Endpoint &endpoint)
{
    mode = endpoint.kind();
    if (mode != Mode::Serial) {
        ipAddress = endpoint.host();
        tcpPort = QString::number(endpoint.port());
    }
    if (mode != Mode::Tcp)
        baud = endpoint.baud();
    if (mode == Mode::Serial)
        device = endpoint.device();
}

QString serialSettingsString(qint32 baud) { return QStringLiteral("%1,N,8,1").arg(baud); }

} // namespace wire
