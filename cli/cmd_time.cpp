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
        if (const auto offset = clockOffset(time.value, QDateTime::currentDateTime()))
            c.results.insert(QStringLiteral("clock_offset_s"), *offset);
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
    QDateTime pcNow;
    utilities::Actions actions(c.link, model, c.out, c.out, utilities::Display::none(),
                               [&pcNow] { return pcNow = QDateTime::currentDateTime(); });
    if (actions.setControllerTime() != utilities::Outcome::Done)
        return kExitFailure;
    // What the controller was told, as a clock read shows it.
    const QByteArray sent = utilities::setTimeCommand(pcNow, utilities::parseHours(model.hours).value_or(0), model.add);
    c.results.insert(QStringLiteral("time_set"), utilities::formatControllerTime(sent.mid(1)));
    return kExitOk;
}

} // namespace cli
