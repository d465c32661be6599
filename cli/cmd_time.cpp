#include "cli/commands.h"
#include "utilities/actions.h"
#include "utilities/resultjson.h"

namespace cli {

int readClock(Context &c)
{
    utilities::Actions actions(c.link, c.out);
    const auto time = actions.getControllerTime();
    if (time.outcome != utilities::Outcome::Done)
        return kExitFailure;
    c.learn(utilities::clockJson(time.value, QDateTime::currentDateTime()));
    c.out.line(time.value);
    return kExitOk;
}

// time get | time set [--hours N] [--subtract]: the screen's clock actions.
int runTime(Context &c)
{
    if (c.args.verb == QLatin1String("get"))
        return readClock(c);
    // The hours are checked by the action itself, as the screen's field would be.
    const QString hours = c.args.value(QStringLiteral("--hours")).value_or(QStringLiteral("00"));
    const bool add = !c.args.has(QStringLiteral("--subtract"));
    utilities::Actions actions(c.link, c.out);
    const auto set = actions.setControllerTime(hours, add);
    if (set.outcome != utilities::Outcome::Done)
        return kExitFailure;
    c.learn(utilities::timeSetJson(set.value));
    return kExitOk;
}

} // namespace cli
