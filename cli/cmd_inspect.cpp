#include "cli/commands.h"

namespace cli {

// What plan compares: the firmware identification and the clock, read on one
// link session.
int runInspect(Context &c)
{
    const int rc = runVersion(c);
    return rc == kExitOk ? readClock(c) : rc;
}

} // namespace cli
