#pragma once

namespace config {

// One plain struct per configuration screen, fields under their control names.
struct GeneralSettings {};
struct WiegandSettings {};
struct BarcodeSettings {};
struct Comm430Settings {};

struct Settings {
    GeneralSettings general;
    WiegandSettings wiegand;
    BarcodeSettings barcode;
    Comm430Settings comm430;
};

// The configuration screens' share of the start-up defaults, in their order:
// comm430, general, wiegand, barcode.
void applyConfigDefaults(Settings &settings);

} // namespace config
