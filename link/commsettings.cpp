#include "link/commsettings.h"

namespace wire {

void selectMode(CommSettings &comm, core::AppState &state, CommSettings::Mode mode)
{
    comm.mode = mode;
    if (mode == CommSettings::Mode::Tcp)
        state.linkMode = core::LinkTcp;
    else if (mode == CommSettings::Mode::Serial)
        state.linkMode = core::LinkSerial;
}

void selectPort(CommSettings &comm, core::AppState &state, int port)
{
    comm.port = port;
    state.serialPortNumber = static_cast<qint16>(port);
}

void selectBaud(CommSettings &comm, core::AppState &state, qint32 baud)
{
    comm.baud = baud;
    state.chosenBaud = baud;
}

void setIpText(CommSettings &comm, core::AppState &state, const QString &text)
{
    comm.ipAddress = text;
    state.ipAddress = text;
}

void setPortText(CommSettings &comm, core::AppState &state, const QString &text)
{
    comm.tcpPort = text;
    state.tcpPortText = text;
}

void applyCommDefaults(CommSettings &comm, core::AppState &state)
{
    selectMode(comm, state, CommSettings::Mode::Serial);
    selectPort(comm, state, 2);
    selectBaud(comm, state, 9600);
    setIpText(comm, state, kDefaultIpAddress);
    setPortText(comm, state, QStringLiteral("57"));
}

QString serialSettingsString(qint32 baud) { return QStringLiteral("%1,N,8,1").arg(baud); }

} // namespace wire
