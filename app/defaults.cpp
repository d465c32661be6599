#include "app/defaults.h"

namespace app {

void ApplyDefaultSettings(core::AppState &state, wire::CommSettings &comm, utilities::UtilitiesSettings &utilities,
                          config::Settings &settings)
{
    wire::applyCommDefaults(comm, state);
    utilities::applyUtilitiesDefaults(utilities);
    config::applyConfigDefaults(settings);
}

} // namespace app
