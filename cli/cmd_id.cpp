#include "cli/commands.h"
#include "utilities/actions.h"

namespace cli {

// id add ID | id delete ID: one ID in the controller's ad hoc list.
int runId(Context &c)
{
    const QString verb = c.args.value(0);
    if (c.args.size() != 2 || (verb != QLatin1String("add") && verb != QLatin1String("delete"))) {
        StdoutSinks::error(QStringLiteral("id takes add ID or delete ID"));
        return kExitUsage;
    }
    c.utilities.Text1_2 = c.args.at(1);
    utilities::FieldMap fields;
    utilities::Actions actions(c.link, c.utilities, c.out, fields, c.out);
    const int action = verb == QLatin1String("add") ? utilities::AdHocAdd : utilities::AdHocDelete;
    return actions.click(action) == utilities::Outcome::Done ? kExitOk : kExitFailure;
}

} // namespace cli
