#pragma once

#include "cli/plan/planoptions.h"

namespace cli {
class InterruptSignals;
}

namespace journal {
class Journal;
}

namespace cli::plan {

// Plans the site, then runs the pending actions of each controller in turn
// (firmware, profile, clock), each through the command a technician would
// run and checked after it, in waves and within the failure threshold.
// Exit 0 when the site ends in state, 1 otherwise, 130 when interrupted.
int runApply(const PlanOptions &options, bool json, InterruptSignals &interrupts, journal::Journal *journal,
             const journal::Journal *history);

} // namespace cli::plan
