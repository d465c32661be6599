#include "utilities/resultjson.h"

namespace utilities {

QJsonObject versionJson(const QString &reply) { return {{QStringLiteral("version"), reply}}; }

QJsonObject clockJson(const QString &read, const QDateTime &pcNow)
{
    QJsonObject o{{QStringLiteral("time"), read}};
    QDateTime controller = QDateTime::fromString(read, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!controller.isValid())
        return o;
    controller.setTimeSpec(Qt::UTC);
    o.insert(QStringLiteral("clock_offset_s"), QDateTime(pcNow.date(), pcNow.time(), Qt::UTC).secsTo(controller));
    return o;
}

QJsonObject timeSetJson(const QString &set) { return {{QStringLiteral("time_set"), set}}; }

QJsonObject memoryJson(const MemoryUsage &usage)
{
    return {{QStringLiteral("memory"),
             QJsonObject{{QStringLiteral("ad_hoc_available"), usage.adHocAvailable},
                         {QStringLiteral("ad_hoc_used"), usage.adHocUsed},
                         {QStringLiteral("main_available"), usage.mainAvailable},
                         {QStringLiteral("main_used"), usage.mainUsed},
                         {QStringLiteral("log_available"), usage.logAvailable},
                         {QStringLiteral("log_used"), usage.logUsed}}}};
}

QJsonObject countJson(const char *key, qint64 count) { return {{QLatin1String(key), count}}; }

} // namespace utilities
