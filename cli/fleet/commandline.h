#pragma once

#include "fleet/inventory.h"

namespace cli::fleet {

// The command of a fleet, checked once for all controllers: a usage error as
// text, or empty. A command that writes a file must name it with {name}, so
// that no two controllers write one file.
QString checkCommand(const QStringList &command);

// The command as one controller runs it: the row's image or profile in place
// of the command's own, {name} replaced by the controller's name, and with
// yes, the programming run's ID-size question answered Yes.
QStringList controllerCommand(const QStringList &command, const ::fleet::Controller &controller, bool yes);

} // namespace cli::fleet
