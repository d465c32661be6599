#include "cli/commands.h"
#include "cli/transfer.h"

namespace cli {

// schedules download FILE | schedules upload FILE: the whole schedule table.
int runSchedules(Context &c)
{
    const bool download = c.args.verb == QLatin1String("download");
    return runTransfer(c, c.args.operands.constFirst(), !download, "schedules",
                       [download](utilities::Actions &actions) {
                           return download ? actions.download_schedule() : actions.upload_schedules();
                       });
}

} // namespace cli
