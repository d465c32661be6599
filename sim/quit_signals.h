#pragma once

namespace sim {

// SIGTERM and SIGINT end the application's event loop instead of the
// process, so that the simulator can still write what its controllers hold;
// a second signal ends the process at once.
void quitOnSignals();

} // namespace sim
