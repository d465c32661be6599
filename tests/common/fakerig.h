#pragma once

#include "core/appstate.h"
#include "link/commsettings.h"
#include "link/fake/fakeio.h"
#include "link/fake/virtualwaiter.h"
#include "link/link.h"
#include "tests/common/recorders.h"

namespace testing {

// A link over fake transports on a virtual clock, with the start-up comm
// defaults. connectSerial()/connectTcp() open it.
struct FakeRig {
    FakeRig()
    {
        wire::applyCommDefaults(comm);
        state.digitWidth = core::digitWidthData();
    }

    bool connectSerial()
    {
        comm.mode = wire::CommSettings::Mode::Serial;
        link.ConnectLink();
        return link.isConnected();
    }
    bool connectTcp()
    {
        comm.mode = wire::CommSettings::Mode::Tcp;
        link.ConnectLink();
        return link.isConnected();
    }
    // The stream of the current link mode.
    wire::fake::FakeStream &peer() { return &link.io() == &tcp ? tcp.stream : serial.stream; }
    // The transport of the current link mode goes away after delay.
    void dropAfter(wire::Ms delay) { &link.io() == &tcp ? tcp.dropAfter(delay) : serial.dropAfter(delay); }

    core::AppState state;
    wire::CommSettings comm;
    wire::fake::VirtualWaiter waiter;
    wire::fake::FakeSerialIo serial{waiter};
    wire::fake::FakeTcpIo tcp{waiter};
    Recorder ui;
    wire::Link link{comm, waiter, ui, serial, tcp};
};

} // namespace testing
