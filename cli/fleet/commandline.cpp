#include "cli/fleet/commandline.h"

#include "cli/commands.h"

namespace cli::fleet {

namespace {
using Controller = ::fleet::Controller;

const QString kNamePlaceholder = QStringLiteral("{name}");
const QString kYes = QStringLiteral("--yes");

// The inventory column that gives each controller its own file, if any.
QString Controller::*columnFor(FileWord::Role role)
{
    switch (role) {
    case FileWord::Role::Image:
        return &Controller::image;
    case FileWord::Role::Profile:
        return &Controller::profile;
    default:
        return nullptr;
    }
}

void setFile(Arguments &arguments, const FileWord &file, const QString &path)
{
    if (!file.option.isEmpty())
        arguments.setValue(file.option, path);
    else if (arguments.operands.isEmpty())
        arguments.operands << path;
    else
        arguments.operands.first() = path;
}
} // namespace

std::variant<FleetCommand, QString> checkCommand(const QStringList &command)
{
    if (command.isEmpty())
        return QStringLiteral("fleet needs -- COMMAND [ARGS] after the inventory");
    const QString &name = command.constFirst();
    const Command *known = findCommand(name);
    if (!known)
        return QStringLiteral("unknown command %1").arg(name);
    if (!known->needsLink || name == QLatin1String("terminal"))
        return QStringLiteral("%1 does not run in a fleet").arg(name);
    auto parsed = parseArguments(known->grammar(), command.mid(1));
    if (auto *error = std::get_if<QString>(&parsed))
        return *error;
    FleetCommand fleetCommand{known, std::get<Arguments>(std::move(parsed))};
    for (const FileWord &f : fileWords(name, fleetCommand.arguments.verb)) {
        const auto path = f.in(fleetCommand.arguments);
        if (f.writes && path && !path->contains(kNamePlaceholder))
            return QStringLiteral("%1 writes %2 for every controller: put {name} in the file name").arg(name, *path);
    }
    return fleetCommand;
}

std::variant<QStringList, QString> controllerCommand(const FleetCommand &command, const Controller &controller,
                                                     bool yes)
{
    const QString name = QString::fromLatin1(command.command->name);
    Arguments arguments = command.arguments;
    for (const FileWord &f : fileWords(name, arguments.verb)) {
        if (const auto column = columnFor(f.role); column && !(controller.*column).isEmpty())
            setFile(arguments, f, controller.*column);
    }
    arguments.operands.replaceInStrings(kNamePlaceholder, controller.name);
    for (auto &option : arguments.options)
        option.second.replace(kNamePlaceholder, controller.name);
    if (yes && name == QLatin1String("program") && !arguments.has(kYes))
        arguments.flags << kYes;
    const QStringList words = arguments.words();
    // The controller's command as its run will parse it.
    const auto checked = parseCommand(*command.command, words);
    if (const auto *error = std::get_if<QString>(&checked))
        return QStringLiteral("%1: %2").arg(controller.name, *error);
    return QStringList{name} + words;
}

} // namespace cli::fleet
