#pragma once

#include "config/settings.h"
#include "fleet/inventory.h"

#include <QString>

namespace cli::plan {

// What the predictions assume, said under a plan.
extern const QString kPredictionsAssume;

// The controller's line rate: a serial row's baud; behind a TCP link a device
// server's serial line, taken as 9600.
qint32 lineRate(const ::fleet::Controller &controller);

// Seconds each action takes on the controller's link, its verification
// included.
double firmwareSeconds(const ::fleet::Controller &controller, qint64 imageBytes);
double profileSeconds(const ::fleet::Controller &controller, const config::Settings &settings);
double clockSeconds(const ::fleet::Controller &controller);
// An access list: its download (every non-empty line of the file, recordBytes
// in all as sent), reading records of about idBytes each, deleting one ID.
double accessDownloadSeconds(const ::fleet::Controller &controller, qint64 lines, qint64 recordBytes);
double accessReadSeconds(const ::fleet::Controller &controller, qint64 records, qint64 idBytes);
double deleteSeconds(const ::fleet::Controller &controller, qint64 idBytes);
// The schedule table: its download of that many entries, and its read.
double schedulesDownloadSeconds(const ::fleet::Controller &controller, qint64 entries);
double schedulesReadSeconds(const ::fleet::Controller &controller);

// "about 1 min 2 s", "under 1 s".
QString durationText(double seconds);

} // namespace cli::plan
