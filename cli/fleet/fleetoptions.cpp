#include "cli/fleet/fleetoptions.h"

#include "cli/arguments.h"

namespace cli::fleet {

std::optional<QStringList> onlyNames(const Arguments &arguments, QString *error)
{
    QStringList all;
    // An empty name list is a mistake (an unset variable in a script), never "all".
    for (const QString &names : arguments.values(QStringLiteral("--only"))) {
        const QStringList split = names.split(QLatin1Char(','));
        if (split.contains(QString())) {
            *error = QStringLiteral("--only needs controller names, got \"%1\"").arg(names);
            return std::nullopt;
        }
        all += split;
    }
    return all;
}

std::optional<FleetOptions> parseFleetOptions(const QStringList &arguments, QString *error)
{
    const QString parallel = QStringLiteral("--parallel");
    const QString retries = QStringLiteral("--retries");
    const QString only = QStringLiteral("--only");
    const QString report = QStringLiteral("--report");
    const QString logDir = QStringLiteral("--log-dir");
    FleetOptions o;
    auto fail = [error](const QString &why) {
        *error = why;
        return std::nullopt;
    };
    const qsizetype dashes = arguments.indexOf(QStringLiteral("--"));
    if (dashes < 0)
        return fail(QStringLiteral("fleet needs -- COMMAND [ARGS] after the inventory"));
    o.command = arguments.mid(dashes + 1);
    const Grammar grammar{QStringLiteral("fleet"),
                          QStringLiteral("INVENTORY [OPTIONS] -- COMMAND [ARGS]"),
                          {Form{{},
                                1,
                                1,
                                {QStringLiteral("--yes"), QStringLiteral("--json")},
                                {parallel, retries, report, logDir},
                                {only}}}};
    const auto parsed = parseArguments(grammar, arguments.mid(0, dashes));
    if (const auto *why = std::get_if<QString>(&parsed))
        return fail(*why);
    const auto &a = std::get<Arguments>(parsed);
    if (a.operands.size() > 1)
        return fail(QStringLiteral("fleet takes one inventory, not %1").arg(a.operands.at(1)));
    if (a.operands.isEmpty())
        return fail(QStringLiteral("fleet needs an inventory file"));
    o.inventory = a.operands.constFirst();
    o.yes = a.has(QStringLiteral("--yes"));
    o.json = a.has(QStringLiteral("--json"));
    const auto p = wholeNumber(a, parallel, 1, o.parallel);
    const auto r = wholeNumber(a, retries, 0, o.retries);
    if (!p || !r)
        return fail(QStringLiteral("%1 takes a whole number from %2").arg(p ? retries : parallel).arg(p ? 0 : 1));
    o.parallel = *p;
    o.retries = *r;
    const auto names = onlyNames(a, error);
    if (!names)
        return std::nullopt;
    o.only = *names;
    o.report = a.value(report).value_or(QString());
    o.logDir = a.value(logDir).value_or(QString());
    return o;
}

} // namespace cli::fleet
