#include "journal/summary.h"

#include <QFileInfo>

namespace journal {

namespace {
constexpr int kShortHash = 12;

QString text(const QJsonObject &o, const char *key) { return o.value(QLatin1String(key)).toVariant().toString(); }

QString usage(const QJsonObject &m)
{
    return QStringLiteral("used/available: ad hoc %1/%2, main %3/%4, log %5/%6")
        .arg(text(m, "ad_hoc_used"), text(m, "ad_hoc_available"), text(m, "main_used"), text(m, "main_available"),
             text(m, "log_used"), text(m, "log_available"));
}

QString fileResult(const QJsonArray &files)
{
    for (const auto &v : files) {
        const QJsonObject f = v.toObject();
        const QString sha = text(f, "sha256");
        if (!sha.isEmpty())
            return QStringLiteral("%1 sha256 %2").arg(QFileInfo(text(f, "path")).fileName(), sha.left(kShortHash));
    }
    return {};
}
} // namespace

QString mainResult(const Record &record)
{
    if (record.kind == kStarted)
        return QStringLiteral("started, no end recorded");
    if (record.outcome != outcomeName(Outcome::Ok))
        return record.message;
    const QJsonObject &r = record.results;
    if (r.contains(QLatin1String("version")))
        return text(r, "version");
    if (r.contains(QLatin1String("clock_offset_s")))
        return QStringLiteral("%1 (%2 s from this computer)").arg(text(r, "time"), text(r, "clock_offset_s"));
    if (r.contains(QLatin1String("time_set")))
        return QStringLiteral("set to %1").arg(text(r, "time_set"));
    if (r.contains(QLatin1String("memory")))
        return usage(r.value(QLatin1String("memory")).toObject());
    if (r.contains(QLatin1String("records")))
        return QStringLiteral("%1 records").arg(text(r, "records"));
    if (r.contains(QLatin1String("schedules")))
        return QStringLiteral("%1 schedules").arg(text(r, "schedules"));
    if (r.contains(QLatin1String("lines")))
        return QStringLiteral("%1 lines programmed").arg(r.value(QLatin1String("lines")).toArray().size());
    if (r.contains(QLatin1String("characters_sent")))
        return QStringLiteral("%1 sent, %2 bad echoes, %3 time-outs")
            .arg(text(r, "characters_sent"), text(r, "bad_echoes"), text(r, "timeouts"));
    return fileResult(record.files);
}

} // namespace journal
