#pragma once

namespace cli {
class InterruptSignals;
struct LinkOptions;
} // namespace cli

namespace cli::plan {

inline constexpr char kPlanCommand[] = "plan";
inline constexpr char kApplyCommand[] = "apply";
// plan: changes are pending, and every controller was read.
inline constexpr int kExitPending = 4;

// tarnic-cli [--json] plan INVENTORY [OPTIONS] and apply INVENTORY [OPTIONS]:
// plan exits 0 when every controller is in state, 4 when changes are pending
// and every controller was read, 1 when one could not be read; apply exits
// 0 when the site ends in state, 1 otherwise, 130 when interrupted; both 2
// on a usage or inventory error.
int runPlanCommand(const LinkOptions &options, InterruptSignals &interrupts);

} // namespace cli::plan
