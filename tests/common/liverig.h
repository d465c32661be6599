#pragma once

#include "core/appstate.h"
#include "link/commsettings.h"
#include "link/link.h"
#include "link/qtserialio.h"
#include "link/qttcpio.h"
#include "link/waiter.h"
#include "tests/common/recorders.h"
#include "tests/common/simprocess.h"

namespace testing {

// Opens a program's link to the simulator's pseudo-terminal (at 9600 baud) or
// TCP port, as the communications screen would.
inline bool connectLink(wire::CommSettings &comm, wire::Link &link, const SimProcess &sim, bool tcp)
{
    if (tcp) {
        comm.mode = wire::CommSettings::Mode::Tcp;
        comm.ipAddress = QStringLiteral("127.0.0.1");
        comm.tcpPort = QString::number(sim.tcpPort());
    } else {
        comm.mode = wire::CommSettings::Mode::Serial;
        comm.baud = 9600;
        comm.device = sim.ptyPath();
    }
    link.ConnectLink();
    return link.isConnected();
}

// The program's own link in the test process, on the real transports and
// waiter, for end-to-end tests against a running tarnic-sim.
struct LiveRig {
    LiveRig() { wire::applyCommDefaults(comm); }
    ~LiveRig() { link.closeAll(); }

    bool connectTo(const SimProcess &sim, bool tcp) { return connectLink(comm, link, sim, tcp); }

    core::AppState state;
    wire::CommSettings comm;
    wire::EventLoopWaiter waiter;
    wire::QtSerialIo serial;
    wire::QtTcpIo tcp;
    Recorder ui;
    wire::Link link{comm, waiter, ui, serial, tcp};
};

} // namespace testing
