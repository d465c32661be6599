#pragma once

#include "cli/context.h"
#include "config/settings.h"
#include "core/inputfile.h"

#include <QString>

namespace cli {

// What settings and program take: --profile FILE and --set KEY=VALUE, any
// number of them. Empty when each change has the form KEY=VALUE.
QString checkSettingChanges(const Arguments &arguments);

// The profile (if any, read through wait) onto the defaults in settings,
// then each change; false after saying why through out, with settings left
// as they were.
bool applySettingArgs(StdoutSinks &out, config::Settings &settings, const Arguments &args, const core::ReadWait &wait);

} // namespace cli
