#pragma once

namespace cli {
class InterruptSignals;
}

namespace cli::fleet {

inline constexpr char kWorkerCommand[] = "fleet-worker";

// tarnic-cli fleet-worker, started by a fleet run and not meant for people:
// reads runs from stdin, one JSON object a line ({"name": NAME, "arguments":
// [the arguments of a single-controller tarnic-cli]}), and runs each on a
// thread of its own through the same code as a tarnic-cli process would, its
// JSON Lines tagged with the name; a run's last line is its "result". SIGTERM
// or SIGINT stops every run at once. Ends when stdin closes and every run has
// ended.
int runWorker(InterruptSignals &interrupts);

} // namespace cli::fleet
