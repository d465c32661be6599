#include "cli/commands.h"
#include "config/program.h"

namespace cli {

// Tells the controller to reset itself; 0 once "Reset Complete" is printed.
int runReset(Context &c)
{
    if (!c.args.isEmpty()) {
        StdoutSinks::error(QStringLiteral("reset takes no arguments"));
        return kExitUsage;
    }
    config::SinglePane panes(c.out);
    config::ProgramContext context{c.state, c.link, c.settings, panes, c.out};
    return config::do_reset(context) == config::ResetOutcome::Sent ? kExitOk : kExitFailure;
}

} // namespace cli
