#include "cli/commands.h"
#include "utilities/actions.h"

namespace cli {

// id add ID | id delete ID: one ID in the controller's ad hoc list.
int runId(Context &c)
{
    const QString verb = c.args.value(0);
    if (c.args.size() != 2 || (verb != QLatin1String("add") && verb != QLatin1String("delete"))) {
        c.out.failure(QStringLiteral("id takes add ID or delete ID"));
        return kExitUsage;
    }
    c.utilities.adHocId = c.args.at(1);
    utilities::Actions actions(c.link, c.utilities, c.out, c.out);
    const auto outcome = verb == QLatin1String("add") ? actions.adHocAdd() : actions.adHocDelete();
    return outcome == utilities::Outcome::Done ? kExitOk : kExitFailure;
}

} // namespace cli
