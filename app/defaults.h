#pragma once

#include "config/settings.h"
#include "link/commsettings.h"
#include "utilities/utilitiessettings.h"

namespace app {

// Writes every start-up default: communications, utilities, then the
// configuration screens (comm430, general, wiegand, barcode).
void ApplyDefaultSettings(wire::CommSettings &comm, utilities::UtilitiesSettings &utilities,
                          config::Settings &settings);

} // namespace app
