#include "cli/commands.h"
#include "utilities/actions.h"

namespace cli {

// schedules download FILE | schedules upload FILE: the whole schedule table.
int runSchedules(Context &c)
{
    const QString verb = c.args.value(0);
    const bool download = verb == QLatin1String("download");
    if (c.args.size() != 2 || (!download && verb != QLatin1String("upload"))) {
        c.out.failure(QStringLiteral("schedules takes download FILE or upload FILE"));
        return kExitUsage;
    }
    c.out.path = c.args.at(1);
    utilities::Actions actions(c.link, c.utilities, c.out, c.out);
    const auto moved = download ? actions.download_schedule() : actions.upload_schedules();
    if (moved.outcome != utilities::Outcome::Done)
        return kExitFailure;
    c.results.insert(QStringLiteral("schedules"), moved.value);
    return kExitOk;
}

} // namespace cli
