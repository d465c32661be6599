#pragma once

#include "config/progress.h"
#include "config/settings.h"
#include "core/digitwidth.h"

#include <QStringList>

#include <optional>

namespace config {

// The parameter check's verdict: its lines in order ("Checking Parameters",
// warnings, and the first error if any) and whether the run may go on.
struct CheckReport {
    QStringList lines;
    bool pass = true;
};

// Reads the settings only. The first failing error test ends the check;
// warnings add a line and let it go on.
CheckReport checkParameters(const Settings &settings, const core::DigitWidthTable &digitWidth);

// Clears both panes and writes the check's lines into Picture1. On a pass it
// gives the settings exactly as checked: a run programs that copy, so edits
// made on a screen while it runs wait for the next run. On a failure, the
// error line goes into failure as well.
std::optional<Settings> ValidateParameters(const Settings &settings, const core::DigitWidthTable &digitWidth,
                                           ProgressPanes &panes, QString *failure = nullptr);

} // namespace config
