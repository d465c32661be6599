#include "cli/fleet/commandline.h"

#include "cli/commands.h"

namespace cli::fleet {

namespace {
using Controller = ::fleet::Controller;

const QString kNamePlaceholder = QStringLiteral("{name}");
const QString kYes = QStringLiteral("--yes");

// A file a command names, and the inventory column that gives each
// controller its own.
struct FileArgument {
    QString option; // empty: the first operand
    bool writes = false;
    QString Controller::*column = nullptr;
};

QList<FileArgument> fileArguments(const QString &command, const QString &verb)
{
    if (command == QLatin1String("flash") || command == QLatin1String("bootext"))
        return {{{}, false, &Controller::image}};
    if (command == QLatin1String("access") || command == QLatin1String("schedules"))
        return {{{}, verb == QLatin1String("upload")}};
    if (command == QLatin1String("program"))
        return {{QStringLiteral("--profile"), false, &Controller::profile}, {QStringLiteral("--record"), true}};
    return {};
}

std::optional<QString> fileOf(const Arguments &arguments, const FileArgument &file)
{
    if (!file.option.isEmpty())
        return arguments.value(file.option);
    if (arguments.operands.isEmpty())
        return std::nullopt;
    return arguments.operands.constFirst();
}

void setFile(Arguments &arguments, const FileArgument &file, const QString &path)
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
    for (const FileArgument &f : fileArguments(name, fleetCommand.arguments.verb)) {
        const auto path = fileOf(fleetCommand.arguments, f);
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
    for (const FileArgument &f : fileArguments(name, arguments.verb)) {
        if (f.column && !(controller.*f.column).isEmpty())
            setFile(arguments, f, controller.*f.column);
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
