#include "cli/plan/planoptions.h"

#include "cli/arguments.h"
#include "cli/fleet/fleetoptions.h"

namespace cli::plan {

std::optional<PlanOptions> parsePlanOptions(bool apply, const QStringList &arguments, QString *error)
{
    const QString name = apply ? QStringLiteral("apply") : QStringLiteral("plan");
    const QString parallel = QStringLiteral("--parallel");
    const QString journal = QStringLiteral("--journal");
    const QString waves = QStringLiteral("--waves");
    const QString maxFailures = QStringLiteral("--max-failures");
    const QString report = QStringLiteral("--report");
    const QString yes = QStringLiteral("--yes");
    const QString no = QStringLiteral("--no");
    const QString prune = QStringLiteral("--prune");
    const QString skipLists = QStringLiteral("--skip-lists");
    Form form{{}, 1, 1, {QStringLiteral("--json"), prune, skipLists}, {parallel, journal}, {QStringLiteral("--only")}};
    if (apply) {
        form.flags << yes << no;
        form.valued << waves << maxFailures << report;
    }
    auto fail = [error](const QString &why) {
        *error = why;
        return std::nullopt;
    };
    const auto parsed = parseArguments({name, QStringLiteral("INVENTORY [OPTIONS]"), {form}}, arguments);
    if (const auto *why = std::get_if<QString>(&parsed))
        return fail(*why);
    const auto &a = std::get<Arguments>(parsed);
    if (a.operands.size() != 1)
        return fail(QStringLiteral("%1 takes one inventory").arg(name));
    PlanOptions o;
    o.apply = apply;
    o.inventory = a.operands.constFirst();
    o.json = a.has(QStringLiteral("--json"));
    o.yes = a.has(yes);
    o.prune = a.has(prune);
    o.skipLists = a.has(skipLists);
    if (o.prune && o.skipLists)
        return fail(QStringLiteral("give --prune or --skip-lists, not both"));
    if (o.yes && a.has(no))
        return fail(QStringLiteral("give --yes or --no, not both"));
    const auto p = wholeNumber(a, parallel, 1, o.parallel);
    if (!p)
        return fail(QStringLiteral("--parallel takes a whole number from 1"));
    o.parallel = *p;
    const auto only = fleet::onlyNames(a, error);
    if (!only)
        return std::nullopt;
    o.only = *only;
    o.journal = a.value(journal).value_or(QString());
    o.report = a.value(report).value_or(QString());
    if (const auto text = a.value(waves)) {
        const auto list = parseWaves(*text);
        if (!list)
            return fail(QStringLiteral("--waves takes counts and shares, a comma between: 1,10%,100%"));
        o.waves = *list;
    }
    if (const auto text = a.value(maxFailures)) {
        o.maxFailures = parseAmount(*text);
        if (!o.maxFailures)
            return fail(QStringLiteral("--max-failures takes a count from 1 or a share from 1% to 100%"));
    }
    return o;
}

} // namespace cli::plan
