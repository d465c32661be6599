#include "cli/fleet/fleetoptions.h"

namespace cli::fleet {

std::optional<FleetOptions> parseFleetOptions(const QStringList &arguments, QString *error)
{
    FleetOptions o;
    auto fail = [error](const QString &why) {
        *error = why;
        return std::nullopt;
    };
    const qsizetype dashes = arguments.indexOf(QStringLiteral("--"));
    if (dashes < 0)
        return fail(QStringLiteral("fleet needs -- COMMAND [ARGS] after the inventory"));
    o.command = arguments.mid(dashes + 1);
    for (qsizetype i = 0; i < dashes; ++i) {
        const QString &a = arguments.at(i);
        if (a == QLatin1String("--yes") || a == QLatin1String("--json")) {
            (a == QLatin1String("--yes") ? o.yes : o.json) = true;
            continue;
        }
        if (!a.startsWith(QLatin1String("--"))) {
            if (!o.inventory.isEmpty())
                return fail(QStringLiteral("fleet takes one inventory, not %1").arg(a));
            o.inventory = a;
            continue;
        }
        if (i + 1 >= dashes)
            return fail(QStringLiteral("%1 needs a value").arg(a));
        const QString &value = arguments.at(++i);
        if (a == QLatin1String("--parallel") || a == QLatin1String("--retries")) {
            bool ok = false;
            const int n = value.toInt(&ok);
            const bool parallel = a == QLatin1String("--parallel");
            if (!ok || n < (parallel ? 1 : 0))
                return fail(QStringLiteral("%1 takes a whole number from %2").arg(a).arg(parallel ? 1 : 0));
            (parallel ? o.parallel : o.retries) = n;
        } else if (a == QLatin1String("--only")) {
            o.only = value.split(QLatin1Char(','), Qt::SkipEmptyParts);
        } else if (a == QLatin1String("--report")) {
            o.report = value;
        } else if (a == QLatin1String("--log-dir")) {
            o.logDir = value;
        } else {
            return fail(QStringLiteral("fleet: unknown option %1").arg(a));
        }
    }
    if (o.inventory.isEmpty())
        return fail(QStringLiteral("fleet needs an inventory file"));
    return o;
}

} // namespace cli::fleet
