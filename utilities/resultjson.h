#pragma once

#include "utilities/results.h"

#include <QDateTime>
#include <QJsonObject>

namespace utilities {

// What the journal and the command line's JSON keep of what an action
// learned, under the same names everywhere.
QJsonObject versionJson(const QString &reply);
// The clock as read, and its offset in seconds from this computer's clock
// (both wall clocks without a zone) when the read is a time.
QJsonObject clockJson(const QString &read, const QDateTime &pcNow);
QJsonObject timeSetJson(const QString &set);
QJsonObject memoryJson(const MemoryUsage &usage);
// What a transfer counted: "records" of an access list, or "schedules".
QJsonObject countJson(const char *key, qint64 count);

} // namespace utilities
