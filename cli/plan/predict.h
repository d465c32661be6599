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

// "about 1 min 2 s", "under 1 s".
QString durationText(double seconds);

} // namespace cli::plan
