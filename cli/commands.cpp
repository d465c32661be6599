#include "cli/commands.h"

namespace cli {

namespace {
Form verb(const char *name, int operands, const QStringList &flags = {}, const QStringList &valued = {})
{
    return Form{QString::fromLatin1(name), operands, operands, flags, valued, {}};
}
} // namespace

std::span<const Command> commands()
{
    const QString profile = QStringLiteral("--profile");
    const QString set = QStringLiteral("--set");
    const QString sorted = QStringLiteral("--sorted");
    const QString schedule = QStringLiteral("--schedule");
    static const Command table[] = {
        {"version", "", "wake the controller, send \"V\" and print its reply", &runVersion, {Form{}}},
        {"time",
         "get | set [--hours N] [--subtract]",
         "read the controller clock, or set it to this computer's clock with N hours added or subtracted",
         &runTime,
         {verb("get", 0), verb("set", 0, {QStringLiteral("--subtract")}, {QStringLiteral("--hours")})}},
        {"id", "add ID | delete ID", "add or delete one ad hoc ID", &runId, {verb("add", 1), verb("delete", 1)}},
        {"memory", "", "print the memory figures with their grid headings", &runMemory, {Form{}}},
        {"access",
         "download FILE [--sorted] [--schedule] | upload FILE [--sorted] [--schedule] [--include-deleted]",
         "download the access list in FILE to the controller, or upload the controller's list into FILE",
         &runAccess,
         {verb("download", 1, {sorted, schedule}),
          verb("upload", 1, {sorted, schedule, QStringLiteral("--include-deleted")})}},
        {"schedules",
         "download FILE | upload FILE",
         "download the schedules in FILE to the controller, or upload them into FILE",
         &runSchedules,
         {verb("download", 1), verb("upload", 1)}},
        {"program",
         "[--profile FILE] [--set KEY=VALUE]... [--yes|--no] [--record DIR]",
         "the programming run on the default settings, or the profile FILE, plus the changes given (KEY e.g. "
         "general.max_id_size, or a control name such as general.Text1(2)); --yes or --no answers the ID-size "
         "question; --record leaves a record of the run in DIR",
         &runProgram,
         {Form{{},
               0,
               0,
               {QStringLiteral("--yes"), QStringLiteral("--no")},
               {profile, QStringLiteral("--record")},
               {set}}},
         true,
         &checkProgram},
        {"reset", "", "reset the controller", &runReset, {Form{}}},
        {"inspect",
         "[--access FILE [--sorted] [--schedule]] [--schedules FILE] [--hash-key FILE]",
         "read the firmware identification and the clock, and compare the access list and the schedules with "
         "files, on one link session",
         &runInspect,
         {Form{{},
               0,
               0,
               {sorted, schedule},
               {QStringLiteral("--access"), QStringLiteral("--schedules"), QStringLiteral("--hash-key")},
               {}}},
         true,
         nullptr,
         true},
        {"prune",
         "FILE [--schedule]",
         "delete the ad hoc IDs that FILE does not hold",
         &runPrune,
         {Form{{}, 1, 1, {schedule}, {}, {}}},
         true,
         nullptr,
         true},
        {"settings",
         "[--profile FILE] [--set KEY=VALUE]... [--changed] [--save FILE [--all]] | --diff FILE_A FILE_B",
         "list the effective settings: key, value, screen, caption (--changed: those that differ from the defaults); "
         "--save writes them as a profile (--all: every setting); --diff lists the settings two profiles set "
         "differently, exit 1 when some do (needs no link)",
         &runSettings,
         {Form{{},
               0,
               2,
               {QStringLiteral("--changed"), QStringLiteral("--all"), QStringLiteral("--diff")},
               {profile, QStringLiteral("--save")},
               {set}}},
         false,
         &checkSettings},
        {"flash", "IMAGE", "download the firmware IMAGE", &runFlash, {Form{{}, 1, 1, {}, {}, {}}}, true, &checkImage},
        {"bootext",
         "IMAGE",
         "download the bootloader-extension IMAGE",
         &runBootext,
         {Form{{}, 1, 1, {}, {}, {}}},
         true,
         &checkImage},
        {"loopback",
         "[--passes N]",
         "echo test (default 2000 passes)",
         &runLoopback,
         {Form{{}, 0, 0, {}, {QStringLiteral("--passes")}, {}}},
         true,
         &checkLoopback},
        {"terminal",
         "[--linger MS]",
         "raw pass-through between stdin/stdout and the link (Ctrl-] ends it on a terminal)",
         &runTerminal,
         {Form{{}, 0, 0, {}, {QStringLiteral("--linger")}, {}}},
         true,
         &checkTerminal},
    };
    return table;
}

Grammar Command::grammar() const { return {QString::fromLatin1(name), QString::fromLatin1(usage), forms}; }

const Command *findCommand(const QString &name)
{
    for (const Command &c : commands())
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

std::optional<QString> FileWord::in(const Arguments &arguments) const
{
    if (!option.isEmpty())
        return arguments.value(option);
    if (arguments.operands.isEmpty())
        return std::nullopt;
    return arguments.operands.constFirst();
}

QList<FileWord> fileWords(const QString &command, const QString &verb)
{
    using Role = FileWord::Role;
    const bool upload = verb == QLatin1String("upload");
    if (command == QLatin1String("flash") || command == QLatin1String("bootext"))
        return {{Role::Image, {}}};
    if (command == QLatin1String("access"))
        return {{Role::AccessList, {}, upload}};
    if (command == QLatin1String("schedules"))
        return {{Role::Schedules, {}, upload}};
    if (command == QLatin1String("inspect"))
        return {{Role::AccessList, QStringLiteral("--access")}, {Role::Schedules, QStringLiteral("--schedules")}};
    if (command == QLatin1String("prune"))
        return {{Role::AccessList, {}}};
    if (command == QLatin1String("program"))
        return {{Role::Profile, QStringLiteral("--profile")}, {Role::RecordFolder, QStringLiteral("--record"), true}};
    return {};
}

std::variant<Arguments, QString> parseCommand(const Command &command, const QStringList &words)
{
    const Grammar grammar = command.grammar();
    auto parsed = parseArguments(grammar, words);
    auto *arguments = std::get_if<Arguments>(&parsed);
    if (!arguments)
        return parsed;
    QString error = checkOperands(grammar, *arguments);
    if (error.isEmpty() && command.check)
        error = command.check(*arguments);
    if (!error.isEmpty())
        return error;
    return parsed;
}

} // namespace cli
