#include "cli/fleet/commandline.h"

#include "cli/commands.h"

namespace cli::fleet {

namespace {
using Controller = ::fleet::Controller;

const QString kNamePlaceholder = QStringLiteral("{name}");

// An argument that names a file, and the inventory column that overrides it.
struct FileArgument {
    qsizetype index;
    bool writes;
    QString Controller::*column = nullptr;
};

// command[0] is the command's name.
QList<FileArgument> fileArguments(const QStringList &command)
{
    const QString name = command.value(0);
    if (name == QLatin1String("flash") || name == QLatin1String("bootext"))
        return {{1, false, &Controller::image}};
    if (name == QLatin1String("access") || name == QLatin1String("schedules"))
        return {{2, command.value(1) == QLatin1String("upload")}};
    QList<FileArgument> files;
    if (name == QLatin1String("program")) {
        for (qsizetype i = 1; i + 1 < command.size(); ++i) {
            if (command.at(i) == QLatin1String("--profile"))
                files.append({i + 1, false, &Controller::profile});
            else if (command.at(i) == QLatin1String("--record"))
                files.append({i + 1, true});
        }
    }
    return files;
}
} // namespace

QString checkCommand(const QStringList &command)
{
    if (command.isEmpty())
        return QStringLiteral("fleet needs -- COMMAND [ARGS] after the inventory");
    const Command *known = findCommand(command.constFirst());
    if (!known)
        return QStringLiteral("unknown command %1").arg(command.constFirst());
    if (!known->needsLink || command.constFirst() == QLatin1String("terminal"))
        return QStringLiteral("%1 does not run in a fleet").arg(command.constFirst());
    for (const FileArgument &f : fileArguments(command)) {
        if (f.writes && f.index < command.size() && !command.at(f.index).contains(kNamePlaceholder))
            return QStringLiteral("%1 writes %2 for every controller: put {name} in the file name")
                .arg(command.constFirst(), command.at(f.index));
    }
    return {};
}

QStringList controllerCommand(const QStringList &command, const ::fleet::Controller &controller, bool yes)
{
    QStringList result = command;
    for (const FileArgument &f : fileArguments(command)) {
        if (f.column && f.index < result.size() && !(controller.*f.column).isEmpty())
            result[f.index] = controller.*f.column;
    }
    for (QString &argument : result)
        argument.replace(kNamePlaceholder, controller.name);
    if (yes && result.constFirst() == QLatin1String("program"))
        result << QStringLiteral("--yes");
    return result;
}

} // namespace cli::fleet
