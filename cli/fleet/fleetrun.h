#pragma once

#include <QStringList>

namespace cli {
class InterruptSignals;
}

namespace journal {
class Journal;
}

namespace cli::fleet {

inline constexpr char kCommand[] = "fleet";

// tarnic-cli fleet INVENTORY [OPTIONS] -- COMMAND [ARGS]: the command against
// every controller of the inventory, each on a thread of its own in one of a
// few worker processes (a hang stays on its thread, a crash in its worker).
// Exit 0 when all succeeded, 1 when any failed, 2 on a usage or inventory
// error, 130 when interrupted. With a journal, the runner records every
// controller's attempts there, all under one run id: it alone writes, and
// each attempt's end is committed as the attempt ends.
int runFleet(const QStringList &arguments, bool json, InterruptSignals &interrupts, journal::Journal *journal);

} // namespace cli::fleet
