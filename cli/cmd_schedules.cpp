#include "cli/commands.h"
#include "utilities/actions.h"

namespace cli {

// schedules download FILE | schedules upload FILE: the whole schedule table.
int runSchedules(Context &c)
{
    c.out.path = c.args.operands.constFirst();
    utilities::Actions actions(c.link, c.utilities, c.out, c.out);
    const auto moved =
        c.args.verb == QLatin1String("download") ? actions.download_schedule() : actions.upload_schedules();
    if (moved.outcome != utilities::Outcome::Done)
        return kExitFailure;
    c.results.insert(QStringLiteral("schedules"), moved.value);
    return kExitOk;
}

} // namespace cli
