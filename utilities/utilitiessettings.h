#pragma once

namespace utilities {

// The utilities screen's options and check boxes that start-up sets.
struct UtilitiesSettings {
    bool add = false;          // Option1(0) "Add" (else Option1(1) "Subtract")
    bool autoClear = false;    // Check1(1) "Auto clear"
    bool adHoc = false;        // Option1(3) "Ad Hoc"
};

void applyUtilitiesDefaults(UtilitiesSettings &settings);

} // namespace utilities
