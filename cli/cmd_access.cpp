#include "cli/commands.h"
#include "cli/transfer.h"

namespace cli {

// access download FILE [--sorted] [--schedule]
// access upload FILE [--sorted] [--schedule] [--include-deleted]
// "download" sends the file to the controller, "upload" reads the list back.
int runAccess(Context &c)
{
    const Arguments &a = c.args;
    const utilities::ListOptions options{.adHoc = !a.has(QStringLiteral("--sorted")),
                                         .includesSchedule = a.has(QStringLiteral("--schedule")),
                                         .inclDeleted = a.has(QStringLiteral("--include-deleted"))};
    const bool download = a.verb == QLatin1String("download");
    return runTransfer(c, a.operands.constFirst(), !download, "records",
                       [download, &options](utilities::Actions &actions, const QString &file) {
                           return download ? actions.download_accesslist(file, options)
                                           : actions.upload_accesslist(file, options);
                       });
}

} // namespace cli
