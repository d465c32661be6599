#pragma once

#include "cli/arguments.h"
#include "fleet/inventory.h"

#include <variant>

namespace cli {
struct Command;
}

namespace cli::fleet {

// The command of a fleet, parsed with the parser the controller runs use.
struct FleetCommand {
    const Command *command = nullptr;
    Arguments arguments;
};

// The command, checked once for all controllers before any link opens: a
// usage error as text. A command that writes a file must name it with
// {name}, so that no two controllers write one file.
std::variant<FleetCommand, QString> checkCommand(const QStringList &command);

// The command as one controller runs it: the row's image or profile always
// (in place of the command's own, or where it names none), {name} replaced
// by the controller's name, and with yes, the programming run's ID-size
// question answered Yes. A usage error as text when the result is not a
// command tarnic-cli takes.
std::variant<QStringList, QString> controllerCommand(const FleetCommand &command, const ::fleet::Controller &controller,
                                                     bool yes);

} // namespace cli::fleet
