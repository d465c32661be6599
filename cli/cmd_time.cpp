#include "cli/commands.h"
#include "utilities/actions.h"

namespace cli {

// time get | time set [--hours N] [--subtract]: the screen's clock actions.
int runTime(Context &c)
{
    const QStringList &a = c.args;
    const QString verb = a.value(0);
    utilities::UtilitiesSettings &model = c.utilities;
    if (verb == QLatin1String("get") && a.size() == 1) {
        utilities::Actions actions(c.link, model, c.out, c.out);
        const auto time = actions.getControllerTime();
        if (time.outcome != utilities::Outcome::Done)
            return kExitFailure;
        c.results.insert(QStringLiteral("time"), time.value);
        c.out.line(time.value);
        return kExitOk;
    }
    if (verb != QLatin1String("set")) {
        c.out.failure(QStringLiteral("time takes get, or set [--hours N] [--subtract]"));
        return kExitUsage;
    }
    model.hours = QStringLiteral("00");
    model.add = true;
    for (int i = 1; i < a.size(); ++i) {
        if (a.at(i) == QLatin1String("--subtract")) {
            model.add = false;
        } else if (a.at(i) == QLatin1String("--hours") && i + 1 < a.size()) {
            // Checked by the action itself, as the screen's field would be.
            model.hours = a.at(++i);
        } else {
            c.out.failure(QStringLiteral("time set takes [--hours N] [--subtract]"));
            return kExitUsage;
        }
    }
    utilities::Actions actions(c.link, model, c.out, c.out);
    return actions.setControllerTime() == utilities::Outcome::Done ? kExitOk : kExitFailure;
}

} // namespace cli
