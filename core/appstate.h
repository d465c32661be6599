#pragma once

#include "core/digitwidth.h"

namespace core {

// The state the screens and operations share beyond the link. One instance,
// owned by the application (or the command-line front end, or a test) and
// passed by reference. What the communications screen selects lives in its
// own model, what the link opened in the link.
struct AppState {
    bool terminalStop = false;
    bool terminalTcp = false;

    DigitWidthTable digitWidth{};
};

} // namespace core
