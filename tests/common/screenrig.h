#pragma once

#include "config/settings.h"
#include "screens/services.h"
#include "tests/common/fakerig.h"
#include "utilities/utilitiessettings.h"

namespace testing {

// A fake link and the models a screen is made from, with their start-up
// defaults. Tests that use it link tarnic_config and tarnic_utilities.
struct ScreenRig : FakeRig {
    ScreenRig()
    {
        config::applyConfigDefaults(settings);
        utilities::applyUtilitiesDefaults(utilities);
    }
    config::Settings settings;
    utilities::UtilitiesSettings utilities;
    screens::Services services{state, link, waiter, comm, settings, utilities, ui, ui};
};

} // namespace testing
