#include "cli/commands.h"
#include "utilities/actions.h"
#include "utilities/formats.h"

namespace cli {

namespace {
// The controller's clock less this computer's, in seconds; both are wall
// clocks without a zone.
std::optional<qint64> clockOffset(const QString &controller, const QDateTime &pc)
{
    QDateTime read = QDateTime::fromString(controller, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!read.isValid())
        return std::nullopt;
    read.setTimeSpec(Qt::UTC);
    return QDateTime(pc.date(), pc.time(), Qt::UTC).secsTo(read);
}
} // namespace

int readClock(Context &c)
{
    utilities::Actions actions(c.link, c.out);
    const auto time = actions.getControllerTime();
    if (time.outcome != utilities::Outcome::Done)
        return kExitFailure;
    c.results.insert(QStringLiteral("time"), time.value);
    if (const auto offset = clockOffset(time.value, QDateTime::currentDateTime()))
        c.results.insert(QStringLiteral("clock_offset_s"), *offset);
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
    QDateTime pcNow;
    utilities::Actions actions(c.link, c.out, utilities::Display::none(),
                               [&pcNow] { return pcNow = QDateTime::currentDateTime(); });
    if (actions.setControllerTime(hours, add) != utilities::Outcome::Done)
        return kExitFailure;
    // What the controller was told, as a clock read shows it.
    const QByteArray sent = utilities::setTimeCommand(pcNow, utilities::parseHours(hours).value_or(0), add);
    c.results.insert(QStringLiteral("time_set"), utilities::formatControllerTime(sent.mid(1)));
    return kExitOk;
}

} // namespace cli
