#include "cli/commands.h"
#include "utilities/actions.h"

namespace cli {

// id add ID | id delete ID: one ID in the controller's ad hoc list.
int runId(Context &c)
{
    const QString &id = c.args.operands.constFirst();
    utilities::Actions actions(c.link, c.out);
    const auto outcome = c.args.verb == QLatin1String("add") ? actions.adHocAdd(id) : actions.adHocDelete(id);
    return outcome == utilities::Outcome::Done ? kExitOk : kExitFailure;
}

} // namespace cli
