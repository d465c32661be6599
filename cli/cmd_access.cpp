#include "cli/commands.h"
#include "utilities/actions.h"

namespace cli {

// access download FILE [--sorted] [--schedule]
// access upload FILE [--sorted] [--schedule] [--include-deleted]
// "download" sends the file to the controller, "upload" reads the list back.
int runAccess(Context &c)
{
    const Arguments &a = c.args;
    utilities::UtilitiesSettings &model = c.utilities;
    model.adHoc = !a.has(QStringLiteral("--sorted"));
    model.includesSchedule = a.has(QStringLiteral("--schedule"));
    model.inclDeleted = a.has(QStringLiteral("--include-deleted"));
    c.out.path = a.operands.constFirst();
    utilities::Actions actions(c.link, model, c.out, c.out);
    const auto moved =
        a.verb == QLatin1String("download") ? actions.download_accesslist() : actions.upload_accesslist();
    if (moved.outcome != utilities::Outcome::Done)
        return kExitFailure;
    c.results.insert(QStringLiteral("records"), moved.value);
    return kExitOk;
}

} // namespace cli
