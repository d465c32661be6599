#include "cli/commands.h"

namespace cli {

std::span<const Command> commands()
{
    static const Command table[] = {
        {"version", "", &runVersion},
        {"time", "get | set [--hours N] [--subtract]", &runTime},
        {"id", "add ID | delete ID", &runId},
        {"memory", "", &runMemory},
        {"access", "download FILE [--sorted] [--schedule] | upload FILE [--sorted] [--schedule] [--include-deleted]",
         &runAccess},
        {"schedules", "download FILE | upload FILE", &runSchedules},
        {"program", "[--set NAME=VALUE]... [--yes|--no]", &runProgram},
        {"reset", "", &runReset},
        {"settings", "", &runSettings, false},
        {"flash", "IMAGE", &runFlash},
        {"bootext", "IMAGE", &runBootext},
        {"loopback", "[--passes N]", &runLoopback},
        {"terminal", "[--linger MS]", &runTerminal},
    };
    return table;
}

} // namespace cli
