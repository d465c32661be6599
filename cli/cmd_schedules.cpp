#include "cli/commands.h"
#include "cli/transfer.h"

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
    return runTransfer(c, c.args.at(1), !download, "schedules", [download](utilities::Actions &actions) {
        return download ? actions.download_schedule() : actions.upload_schedules();
    });
}

} // namespace cli
