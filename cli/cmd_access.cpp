#include "cli/commands.h"
#include "utilities/actions.h"

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
    c.out.path = a.at(1);
    utilities::Actions actions(c.link, model, c.out, c.out);
    const auto moved = download ? actions.download_accesslist() : actions.upload_accesslist();
    if (moved.outcome != utilities::Outcome::Done)
        return kExitFailure;
    c.results.insert(QStringLiteral("records"), moved.value);
    return kExitOk;
}

} // namespace cli
