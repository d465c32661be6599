#pragma once

#include <cstddef>

namespace app {

// The screens the main window holds (control names: commform, termmode,
// general, wiegand, barcode, comm430, pgmform, utilities, flashdl, flashboot2,
// loopback, fleet).
enum class Screen {
    Comm,
    Terminal,
    General,
    Wiegand,
    Barcode,
    Comm430,
    Program,
    Utilities,
    FlashDownload,
    BootloaderExt,
    Loopback,
    Fleet,
};
inline constexpr std::size_t kScreenCount = static_cast<std::size_t>(Screen::Fleet) + 1;

} // namespace app
