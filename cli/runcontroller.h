#pragma once

#include "cli/commands.h"
#include "cli/options.h"

namespace wire {
class Waiter;
}

namespace journal {
class Journal;
}

namespace cli {

class InterruptSignals;

// One command against one controller, with a link, models and sinks of its
// own, waiting through waiter on the calling thread's event loop; returns the
// exit status. A quit requested of the waiter (from any thread) ends the run
// through the normal failure path: 130. With interrupts, SIGINT stops a
// command that has a Stop of its own, and otherwise (and SIGTERM always)
// quits. With a journal, a command that talks to the controller is recorded
// there as it starts, before the link opens, and as it ends.
int runController(const LinkOptions &options, const Command &command, StdoutSinks &out, wire::Waiter &waiter,
                  InterruptSignals *interrupts = nullptr, journal::Journal *journal = nullptr);

} // namespace cli
