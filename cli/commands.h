#pragma once

#include "cli/context.h"

#include <span>

namespace cli {

struct Command {
    const char *name;
    const char *usage;   // the arguments, for the usage text
    const char *summary; // what it does, for --help
    int (*run)(Context &context);
    QList<Form> forms; // how it may be called
    // Commands that only read the models run without opening the link.
    bool needsLink = true;
    // The usage errors its forms cannot tell (two flags that exclude each
    // other, a number out of range): empty when there is none.
    QString (*check)(const Arguments &arguments) = nullptr;
    // Run only by plan's workers: left out of the usage text and --help.
    bool hidden = false;

    Grammar grammar() const;
};

// Every command the companion knows, in the order the usage text lists them.
std::span<const Command> commands();
// The command of that name, or none.
const Command *findCommand(const QString &name);

// A file a command names: its first operand, or an option's value.
struct FileWord {
    enum class Role { Image, Profile, AccessList, Schedules, RecordFolder };
    Role role;
    QString option; // empty: the first operand
    bool writes = false;

    // Where it stands in arguments, if it does.
    std::optional<QString> in(const Arguments &arguments) const;
};
// The files a command with this verb names.
QList<FileWord> fileWords(const QString &command, const QString &verb);

// The words after the command's name, parsed and checked as the command will
// read them: a usage error as text, before any link opens.
std::variant<Arguments, QString> parseCommand(const Command &command, const QStringList &words);

// One function per command, each in a file of its own.
int runVersion(Context &context);
int runTime(Context &context);
int runInspect(Context &context);
int runPrune(Context &context);
int runId(Context &context);
int runMemory(Context &context);
int runAccess(Context &context);
int runSchedules(Context &context);
int runProgram(Context &context);
int runReset(Context &context);
int runSettings(Context &context);
int runFlash(Context &context);
int runBootext(Context &context);
int runLoopback(Context &context);
int runTerminal(Context &context);

// time get: reads the clock into the results.
int readClock(Context &context);

QString checkProgram(const Arguments &arguments);
QString checkSettings(const Arguments &arguments);
QString checkLoopback(const Arguments &arguments);
QString checkTerminal(const Arguments &arguments);
QString checkImage(const Arguments &arguments);

} // namespace cli
