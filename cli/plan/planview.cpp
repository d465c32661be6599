#include "cli/plan/planview.h"

#include "cli/plan/predict.h"

#include <QJsonArray>

#include <cmath>

namespace cli::plan {

namespace {

// Tenths of a second are as much as a prediction knows.
double rounded(double seconds) { return std::round(seconds * 10) / 10; }

QString accessOptions(const ::fleet::DesiredState &d)
{
    QStringList words;
    if (d.accessSorted)
        words << QStringLiteral("sorted");
    if (d.accessSchedule)
        words << QStringLiteral("schedule");
    return words.join(QLatin1Char(' '));
}

// What a list's read found, for the plan's line: counts and a short hash.
QString listText(const char *what, const QJsonObject &read, const char *count, const char *unit)
{
    if (read.isEmpty())
        return {};
    const QString hash = read.value(QLatin1String("hmac_sha256")).toString().left(kShortHash);
    return QStringLiteral("%1: %2 %3%4")
        .arg(QLatin1String(what))
        .arg(read.value(QLatin1String(count)).toInteger())
        .arg(QLatin1String(unit), hash.isEmpty() ? QString() : QStringLiteral(", hmac %1").arg(hash));
}

QJsonValue recordObject(const std::optional<journal::Record> &r)
{
    if (!r)
        return QJsonValue::Null;
    return QJsonObject{{QStringLiteral("seq"), r->seq},
                       {QStringLiteral("operation_id"), r->operationId},
                       {QStringLiteral("started"), r->started},
                       {QStringLiteral("ended"), r->ended},
                       {QStringLiteral("run"), r->run},
                       {QStringLiteral("settings_sha256"), r->results.value(QLatin1String("settings_sha256"))}};
}

QJsonObject desiredObject(const ::fleet::DesiredState &d, const Targets &t)
{
    QJsonObject o;
    if (!d.firmware.isEmpty()) {
        o.insert(QStringLiteral("firmware"), d.firmwareVersion);
        o.insert(QStringLiteral("firmware_image"), d.firmware);
    }
    if (!d.profile.isEmpty()) {
        o.insert(QStringLiteral("profile"), d.profile);
        o.insert(QStringLiteral("settings_sha256"), t.settingsHash);
    }
    if (d.clockTolerance) {
        o.insert(QStringLiteral("clock_tolerance_s"), *d.clockTolerance);
        o.insert(QStringLiteral("clock_hours"), d.clockHours);
    }
    if (!d.access.isEmpty()) {
        o.insert(QStringLiteral("access"), d.access);
        o.insert(QStringLiteral("access_options"), accessOptions(d));
        o.insert(QStringLiteral("access_records"), t.accessRecords);
    }
    if (!d.schedules.isEmpty())
        o.insert(QStringLiteral("schedules"), d.schedules);
    return o;
}
} // namespace

QJsonObject controllerObject(const ::fleet::Controller &c, const Targets &t, const Reading &r, const ControllerPlan &p,
                             const QString &runId)
{
    QJsonArray actions;
    double total = 0;
    for (const Action &a : p.actions) {
        QJsonObject action = a.counts;
        action.insert(QStringLiteral("kind"), kindName(a.kind));
        action.insert(QStringLiteral("reason"), a.reason);
        action.insert(QStringLiteral("predicted_s"), rounded(a.seconds));
        actions.append(action);
        total += a.seconds;
    }
    QJsonObject read;
    if (r.read) {
        read.insert(QStringLiteral("firmware"), r.version);
        read.insert(QStringLiteral("time"), r.time);
        read.insert(QStringLiteral("clock_offset_s"), r.clockOffset ? QJsonValue(*r.clockOffset) : QJsonValue());
        if (!r.access.isEmpty())
            read.insert(QStringLiteral("access"), r.access);
        if (!r.schedules.isEmpty())
            read.insert(QStringLiteral("schedules"), r.schedules);
    }
    QJsonObject o{{QStringLiteral("event"), QStringLiteral("controller")},
                  {QStringLiteral("name"), c.name},
                  {QStringLiteral("endpoint"), c.link},
                  {QStringLiteral("reachable"), p.read},
                  {QStringLiteral("interrupted"), p.interrupted},
                  {QStringLiteral("read"), r.read ? QJsonValue(read) : QJsonValue()},
                  {QStringLiteral("desired"), desiredObject(c.desired, t)},
                  {QStringLiteral("in_state"), p.inState()},
                  {QStringLiteral("actions"), actions},
                  {QStringLiteral("predicted_s"), rounded(total)},
                  {QStringLiteral("journal_record"), recordObject(p.programmed)},
                  {QStringLiteral("notes"), QJsonArray::fromStringList(p.notes)},
                  {QStringLiteral("lists_read_predicted_s"), rounded(t.listReadSeconds())},
                  {QStringLiteral("run"), runId}};
    if (!p.read)
        o.insert(QStringLiteral("error"), p.failure);
    return o;
}

QStringList planLines(const ::fleet::Controller &c, const Targets &t, const Reading &r, const ControllerPlan &p)
{
    const QString who = QStringLiteral("%1 (%2): ").arg(c.name, c.link);
    // The lists as read, and what is said of them but not pending.
    QStringList lists;
    for (const QString &text : {listText("access list", r.access, "records", "records"),
                                listText("schedules", r.schedules, "entries", "entries")})
        if (!text.isEmpty())
            lists << text;
    QStringList notes;
    if (!lists.isEmpty())
        notes << QStringLiteral("  %1 %2 (read in %3)")
                     .arg(QStringLiteral("lists").leftJustified(9), lists.join(QStringLiteral("; ")),
                          durationText(t.listReadSeconds()));
    for (const QString &note : p.notes)
        notes << QStringLiteral("  %1 %2").arg(QStringLiteral("note").leftJustified(9), note);
    if (p.inState())
        return QStringList{who + QStringLiteral("in state")} + notes;
    if (p.actions.empty())
        return {who + QStringLiteral("unreachable: ") + p.failure};
    double total = 0;
    QStringList lines;
    for (const Action &a : p.actions) {
        const QString kind = p.interrupted && a.kind == ActionKind::Firmware ? QStringLiteral("firmware (interrupted)")
                                                                             : kindName(a.kind);
        lines << QStringLiteral("  %1 %2 (%3)").arg(kind.leftJustified(9), a.reason, durationText(a.seconds));
        total += a.seconds;
    }
    lines.prepend(who
                  + QStringLiteral("%1 pending, %2")
                        .arg(p.actions.size() == 1 ? QStringLiteral("1 action")
                                                   : QStringLiteral("%1 actions").arg(p.actions.size()),
                             durationText(total)));
    if (p.interrupted)
        lines << QStringLiteral("  (not read: %1)").arg(p.failure);
    return lines + notes;
}

} // namespace cli::plan
