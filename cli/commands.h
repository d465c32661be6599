#pragma once

#include "cli/context.h"

#include <span>

namespace cli {

struct Command {
    const char *name;
    const char *usage;   // the arguments, for the usage text
    const char *summary; // what it does, for --help
    int (*run)(Context &context);
    // Commands that only read the models run without opening the link.
    bool needsLink = true;
};

// Every command the companion knows, in the order the usage text lists them.
std::span<const Command> commands();
// The command of that name, or none.
const Command *findCommand(const QString &name);

// One function per command, each in a file of its own.
int runVersion(Context &context);
int runTime(Context &context);
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

} // namespace cli
