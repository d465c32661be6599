#pragma once

#include <QStringList>

namespace cli {
class InterruptSignals;
}

namespace cli::fleet {

inline constexpr char kCommand[] = "fleet";

// tarnic-cli fleet INVENTORY [OPTIONS] -- COMMAND [ARGS]: the command against
// every controller of the inventory, each on a thread of its own in one of a
// few worker processes (a hang stays on its thread, a crash in its worker).
// Exit 0 when all succeeded, 1 when any failed, 2 on a usage or inventory
// error, 130 when interrupted.
int runFleet(const QStringList &arguments, bool json, InterruptSignals &interrupts);

} // namespace cli::fleet
