#pragma once

#include <QSettings>

namespace core {

// The program's one settings file (~/.config/tarnic-flash-utility.conf on
// Linux): what a technician used last is offered again on the next run.
QSettings programSettings();

} // namespace core
