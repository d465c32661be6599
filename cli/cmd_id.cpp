#include "cli/commands.h"
#include "utilities/actions.h"

namespace cli {

// id add ID | id delete ID: one ID in the controller's ad hoc list.
int runId(Context &c)
{
    c.utilities.adHocId = c.args.operands.constFirst();
    utilities::Actions actions(c.link, c.utilities, c.out, c.out);
    const auto outcome = c.args.verb == QLatin1String("add") ? actions.adHocAdd() : actions.adHocDelete();
    return outcome == utilities::Outcome::Done ? kExitOk : kExitFailure;
}

} // namespace cli
