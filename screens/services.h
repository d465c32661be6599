#pragma once

#include "config/settings.h"
#include "core/appstate.h"
#include "core/sinks.h"
#include "journal/desk.h"
#include "link/commsettings.h"
#include "link/link.h"
#include "link/waiter.h"
#include "utilities/utilitiessettings.h"

namespace screens {

// What a screen needs from the application: the shared state, the link, the
// waiter, the models and the modal surfaces. Built once by the main window.
struct Services {
    core::AppState &state;
    wire::Link &link;
    wire::Waiter &waiter;
    wire::CommSettings &comm;
    config::Settings &settings;
    utilities::UtilitiesSettings &utilities;
    core::MessageBox &messages;
    core::FileChooser &files;
    journal::Desk &journal;
};

} // namespace screens
