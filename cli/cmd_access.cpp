#include "cli/commands.h"
#include "cli/transfer.h"

namespace cli {

// access download FILE [--sorted] [--schedule]
// access upload FILE [--sorted] [--schedule] [--include-deleted]
// "download" sends the file to the controller, "upload" reads the list back.
int runAccess(Context &c)
{
    const QStringList &a = c.args;
    const QString verb = a.value(0);
    const bool download = verb == QLatin1String("download");
    if ((!download && verb != QLatin1String("upload")) || a.size() < 2 || a.at(1).startsWith(QLatin1String("--"))) {
        c.out.failure(QStringLiteral("access takes download FILE [--sorted] [--schedule] or "
                                     "upload FILE [--sorted] [--schedule] [--include-deleted]"));
        return kExitUsage;
    }
    utilities::UtilitiesSettings &model = c.utilities;
    model.adHoc = true;
    model.includesSchedule = false;
    model.inclDeleted = false;
    for (int i = 2; i < a.size(); ++i) {
        if (a.at(i) == QLatin1String("--sorted")) {
            model.adHoc = false;
        } else if (a.at(i) == QLatin1String("--schedule")) {
            model.includesSchedule = true;
        } else if (a.at(i) == QLatin1String("--include-deleted") && !download) {
            model.inclDeleted = true;
        } else {
            c.out.failure(QStringLiteral("access %1: unknown option %2").arg(verb, a.at(i)));
            return kExitUsage;
        }
    }
    return runTransfer(c, a.at(1), !download, "records", [download](utilities::Actions &actions) {
        return download ? actions.download_accesslist() : actions.upload_accesslist();
    });
}

} // namespace cli
