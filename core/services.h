#pragma once

#include "core/appstate.h"
#include "core/sinks.h"

namespace wire {
class Link;
class Waiter;
struct CommSettings;
} // namespace wire
namespace config {
struct Settings;
}
namespace utilities {
struct UtilitiesSettings;
}

namespace core {

// What a screen needs from the application: the shared state, the link, the
// waiter, the models and the modal surfaces. Built once by the main window.
struct Services {
    AppState &state;
    wire::Link &link;
    wire::Waiter &waiter;
    wire::CommSettings &comm;
    config::Settings &settings;
    utilities::UtilitiesSettings &utilities;
    MessageBox &messages;
    FileChooser &files;
};

} // namespace core
