#include "app/defaults.h"

namespace app {

void ApplyDefaultSettings(wire::CommSettings &comm, utilities::UtilitiesSettings &utilities, config::Settings &settings)
{
    wire::applyCommDefaults(comm);
    utilities::applyUtilitiesDefaults(utilities);
    config::applyConfigDefaults(settings);
}

} // namespace app
