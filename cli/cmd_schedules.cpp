#include "cli/commands.h"
#include "cli/transfer.h"

namespace cli {

// schedules download FILE | schedules upload FILE: the whole schedule table.
int runSchedules(Context &c)
{
    const bool download = c.args.verb == QLatin1String("download");
    return runTransfer(c, c.args.operands.constFirst(), !download, "schedules",
                       [download](utilities::Actions &actions, const QString &file) {
                           return download ? actions.download_schedule(file) : actions.upload_schedules(file);
                       });
}

} // namespace cli
