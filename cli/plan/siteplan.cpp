#include "cli/plan/siteplan.h"

namespace cli::plan {

namespace {
constexpr qint64 kSecondsPerHour = 3600;

QString recordText(const journal::Record &r)
{
    return QStringLiteral("journal record %1, %2").arg(r.seq).arg(r.started);
}

// Why the journal's last programming does not stand for the desired profile;
// empty when it does.
QString profileReason(const Targets &targets, const journal::ControllerHistory &h)
{
    if (!h.programmed)
        return QStringLiteral("never programmed from this journal");
    if (h.programmed->results.value(QLatin1String("settings_sha256")).toString() != targets.settingsHash)
        return QStringLiteral("programmed with other settings (%1)").arg(recordText(*h.programmed));
    if (h.staleBy) {
        const journal::Record &s = *h.staleBy;
        return QStringLiteral("stale: %1 %2 since (%3)")
            .arg(s.operation, s.kind == journal::kEnded ? s.outcome : QStringLiteral("unfinished"), recordText(s));
    }
    return {};
}
} // namespace

QString kindName(ActionKind kind)
{
    switch (kind) {
    case ActionKind::Firmware:
        return QStringLiteral("firmware");
    case ActionKind::Profile:
        return QStringLiteral("profile");
    case ActionKind::Clock:
        return QStringLiteral("clock");
    case ActionKind::Prune:
        return QStringLiteral("prune");
    case ActionKind::Access:
        return QStringLiteral("access");
    case ActionKind::Schedules:
        return QStringLiteral("schedules");
    }
    return {};
}

Reading readingOf(int exitCode, const QJsonObject &results, const QString &ending)
{
    Reading r;
    r.read = exitCode == 0;
    r.failure = r.read ? QString() : ending;
    r.version = results.value(QLatin1String("version")).toString();
    r.time = results.value(QLatin1String("time")).toString();
    if (const QJsonValue offset = results.value(QLatin1String("clock_offset_s")); offset.isDouble())
        r.clockOffset = offset.toInteger();
    r.access = results.value(QLatin1String("access")).toObject();
    r.schedules = results.value(QLatin1String("schedules")).toObject();
    return r;
}

bool sameIdentification(const QString &a, const QString &b) { return a.trimmed() == b.trimmed(); }

qint64 clockDrift(const ::fleet::DesiredState &desired, qint64 offset)
{
    return offset - desired.clockHours * kSecondsPerHour;
}

ControllerPlan planController(const ::fleet::Controller &controller, const Targets &targets, const Reading &reading,
                              const journal::ControllerHistory &history, const PlanOptions &options)
{
    const ::fleet::DesiredState &d = controller.desired;
    ControllerPlan p;
    p.read = reading.read;
    if (!d.profile.isEmpty())
        p.programmed = history.programmed;
    const auto add = [&p](ActionKind kind, const QString &reason, double seconds, const QJsonObject &counts = {}) {
        p.actions.push_back({kind, reason, seconds, counts});
    };
    // A controller left in its boot code answers nothing but a download.
    p.interrupted = !reading.read && history.bootCode && !d.firmware.isEmpty();
    if (!reading.read && !p.interrupted) {
        p.failure = reading.failure;
        return p;
    }
    if (p.interrupted) {
        p.failure = reading.failure;
        add(ActionKind::Firmware,
            QStringLiteral("interrupted: left in its boot code (%1)").arg(recordText(*history.bootCode)),
            targets.firmwareSeconds);
    } else if (!d.firmware.isEmpty() && !sameIdentification(reading.version, d.firmwareVersion)) {
        add(ActionKind::Firmware, QStringLiteral("answers \"%1\", not \"%2\"").arg(reading.version, d.firmwareVersion),
            targets.firmwareSeconds);
    }
    const bool flashing = !p.actions.empty();
    if (!d.profile.isEmpty()) {
        QString why = profileReason(targets, history);
        // Whatever it was programmed with, the download makes it stale.
        if (why.isEmpty() && flashing && history.programmed)
            why = QStringLiteral("stale once the firmware is downloaded (%1)").arg(recordText(*history.programmed));
        if (!why.isEmpty())
            add(ActionKind::Profile, why, targets.profileSeconds);
    }
    if (d.clockTolerance) {
        const QString allowed = QStringLiteral("allowed %1 s").arg(*d.clockTolerance);
        const QString shifted = d.clockHours == 0 ? QString() : QStringLiteral(" shifted by %1 h").arg(d.clockHours);
        if (!reading.read) {
            add(ActionKind::Clock, QStringLiteral("not read (%1)").arg(allowed), targets.clockSeconds);
        } else if (!reading.clockOffset) {
            add(ActionKind::Clock, QStringLiteral("reads \"%1\", not a time").arg(reading.time), targets.clockSeconds);
        } else if (const qint64 drift = clockDrift(d, *reading.clockOffset); std::abs(drift) > *d.clockTolerance) {
            add(ActionKind::Clock,
                QStringLiteral("%1 s %2 this computer's clock%3 (%4)")
                    .arg(std::abs(drift))
                    .arg(drift > 0 ? QStringLiteral("ahead of") : QStringLiteral("behind"), shifted, allowed),
                targets.clockSeconds);
        }
    }
    if (options.skipLists) {
        if (!d.access.isEmpty() || !d.schedules.isEmpty())
            p.notes << QStringLiteral("lists not read (--skip-lists)");
        return p;
    }
    if (!reading.read)
        return p;
    if (!d.access.isEmpty()) {
        const QJsonObject &a = reading.access;
        const qint64 missing = a.value(QLatin1String("missing")).toInteger();
        const qint64 surplus = a.value(QLatin1String("surplus")).toInteger();
        const qint64 records = a.value(QLatin1String("file_records")).toInteger();
        const QString list = d.accessSorted ? QStringLiteral("sorted list") : QStringLiteral("ad hoc list");
        const QString ids =
            surplus == 1 ? QStringLiteral("1 surplus ID") : QStringLiteral("%1 surplus IDs").arg(surplus);
        if (surplus > 0 && d.accessSorted)
            p.notes << QStringLiteral("%1: %2: cannot remove (sorted list)").arg(list, ids);
        else if (surplus > 0 && !options.prune)
            p.notes << QStringLiteral("%1: %2, kept (--prune deletes them)").arg(list, ids);
        else if (surplus > 0)
            add(ActionKind::Prune, QStringLiteral("%1 on the %2").arg(ids, list),
                static_cast<double>(surplus) * targets.pruneSecondsEach + targets.accessReadSeconds,
                {{QStringLiteral("surplus"), surplus}});
        if (missing > 0)
            add(ActionKind::Access,
                QStringLiteral("%1 of %2 records of the file missing from the %3").arg(missing).arg(records).arg(list),
                targets.accessSeconds, {{QStringLiteral("missing"), missing}, {QStringLiteral("records"), records}});
    }
    if (!d.schedules.isEmpty()) {
        const QJsonObject &s = reading.schedules;
        if (const qint64 differing = s.value(QLatin1String("differing")).toInteger(); differing > 0)
            add(ActionKind::Schedules,
                QStringLiteral("%1 of %2 schedule entries differ from the file")
                    .arg(differing)
                    .arg(s.value(QLatin1String("entries")).toInteger()),
                targets.schedulesSeconds, {{QStringLiteral("differing"), differing}});
    }
    return p;
}

} // namespace cli::plan
