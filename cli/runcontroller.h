#pragma once

#include "cli/commands.h"
#include "cli/options.h"

namespace cli {

class InterruptSignals;

// One command against one controller, with a link, waiter, models and sinks of
// its own, on the calling thread's event loop; returns the exit status. With
// interrupts, SIGINT stops a command that has a Stop of its own, and otherwise
// (and SIGTERM always) ends the run through the normal failure path: 130.
int runController(const LinkOptions &options, const Command &command, StdoutSinks &out,
                  InterruptSignals *interrupts = nullptr);

} // namespace cli
