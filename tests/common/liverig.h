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
inline bool connectLink(wire::CommSettings &comm, core::AppState &state, wire::Link &link, const SimProcess &sim,
                        bool tcp)
{
    if (tcp) {
        wire::selectMode(comm, state, wire::CommSettings::Mode::Tcp);
        wire::setIpText(comm, state, QStringLiteral("127.0.0.1"));
        wire::setPortText(comm, state, QString::number(sim.tcpPort()));
    } else {
        wire::selectMode(comm, state, wire::CommSettings::Mode::Serial);
        wire::selectBaud(comm, state, 9600);
        comm.device = sim.ptyPath();
    }
    link.ConnectLink();
    return link.isConnected();
}

// The program's own link in the test process, on the real transports and
// waiter, for end-to-end tests against a running tarnic-sim.
struct LiveRig {
    LiveRig() { wire::applyCommDefaults(comm, state); }
    ~LiveRig() { link.closeAll(); }

    bool connectTo(const SimProcess &sim, bool tcp) { return connectLink(comm, state, link, sim, tcp); }

    core::AppState state;
    wire::CommSettings comm;
    wire::EventLoopWaiter waiter;
    wire::QtSerialIo serial;
    wire::QtTcpIo tcp;
    Recorder ui;
    wire::Link link{state, comm, waiter, ui, serial, tcp};
};

} // namespace testing
