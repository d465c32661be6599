#pragma once

#include "config/settings.h"
#include "journal/desk.h"
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
    // Off unless a test turns it on (into the journal TARNIC_JOURNAL names).
    journal::Desk journal{false};
    screens::Services services{state, link, waiter, comm, settings, utilities, ui, ui, journal};
};

} // namespace testing
