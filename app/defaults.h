#pragma once

#include "config/settings.h"
#include "core/appstate.h"
#include "link/commsettings.h"
#include "utilities/utilitiessettings.h"

namespace app {

// Writes every start-up default: communications, utilities, then the
// configuration screens (comm430, general, wiegand, barcode).
void ApplyDefaultSettings(core::AppState &state, wire::CommSettings &comm, utilities::UtilitiesSettings &utilities,
                          config::Settings &settings);

} // namespace app
