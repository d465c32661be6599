#include "cli/commands.h"
#include "config/program.h"

namespace cli {

namespace {
constexpr wire::Ms kResetLinger{200};
}

// Tells the controller to reset itself; 0 once "Reset Complete" is printed.
int runReset(Context &c)
{
    config::SinglePane panes(c.out);
    config::ProgramContext context{c.state, c.link, c.settings, panes, c.out};
    const bool sent = config::do_reset(context) == config::ResetOutcome::Sent;
    // Nothing answers a reset, and the link closes as soon as this returns:
    // give the bytes a moment to leave (a pseudo-terminal drops what its
    // other end has not read when this end closes).
    if (sent)
        c.waiter.sleep(kResetLinger);
    return sent ? kExitOk : kExitFailure;
}

} // namespace cli
