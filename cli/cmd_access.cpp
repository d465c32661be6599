#include "cli/commands.h"
#include "cli/transfer.h"

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
    const bool download = a.verb == QLatin1String("download");
    return runTransfer(c, a.operands.constFirst(), !download, "records", [download](utilities::Actions &actions) {
        return download ? actions.download_accesslist() : actions.upload_accesslist();
    });
}

} // namespace cli
