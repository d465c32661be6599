#include "cli/commands.h"
#include "utilities/actions.h"

namespace cli {

// time get | time set [--hours N] [--subtract]: the screen's clock actions.
int runTime(Context &c)
{
    utilities::UtilitiesSettings &model = c.utilities;
    utilities::Actions actions(c.link, model, c.out, c.out);
    if (c.args.verb == QLatin1String("get")) {
        const auto time = actions.getControllerTime();
        if (time.outcome != utilities::Outcome::Done)
            return kExitFailure;
        c.results.insert(QStringLiteral("time"), time.value);
        c.out.line(time.value);
        return kExitOk;
    }
    // The hours are checked by the action itself, as the screen's field would be.
    model.hours = c.args.value(QStringLiteral("--hours")).value_or(QStringLiteral("00"));
    model.add = !c.args.has(QStringLiteral("--subtract"));
    return actions.setControllerTime() == utilities::Outcome::Done ? kExitOk : kExitFailure;
}

} // namespace cli
