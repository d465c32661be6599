#include "cli/commands.h"

namespace cli {

std::span<const Command> commands()
{
    static const Command table[] = {
        {"version", "", "wake the controller, send \"V\" and print its reply", &runVersion},
        {"time", "get | set [--hours N] [--subtract]",
         "read the controller clock, or set it to this computer's clock with N hours added or subtracted", &runTime},
        {"id", "add ID | delete ID", "add or delete one ad hoc ID", &runId},
        {"memory", "", "print the memory figures with their grid headings", &runMemory},
        {"access", "download FILE [--sorted] [--schedule] | upload FILE [--sorted] [--schedule] [--include-deleted]",
         "download the access list in FILE to the controller, or upload the controller's list into FILE", &runAccess},
        {"schedules", "download FILE | upload FILE",
         "download the schedules in FILE to the controller, or upload them into FILE", &runSchedules},
        {"program", "[--profile FILE] [--set KEY=VALUE]... [--yes|--no] [--record DIR]",
         "the programming run on the default settings, or the profile FILE, plus the changes given (KEY e.g. "
         "general.max_id_size, or a control name such as general.Text1(2)); --yes or --no answers the ID-size "
         "question; --record leaves a record of the run in DIR",
         &runProgram},
        {"reset", "", "reset the controller", &runReset},
        {"settings", "[--profile FILE] [--set KEY=VALUE]... [--changed] [--save FILE [--all]] | --diff FILE_A FILE_B",
         "list the effective settings: key, value, screen, caption (--changed: those that differ from the defaults); "
         "--save writes them as a profile (--all: every setting); --diff lists the settings two profiles set "
         "differently, exit 1 when some do (needs no link)",
         &runSettings, false},
        {"flash", "IMAGE", "download the firmware IMAGE", &runFlash},
        {"bootext", "IMAGE", "download the bootloader-extension IMAGE", &runBootext},
        {"loopback", "[--passes N]", "echo test (default 2000 passes)", &runLoopback},
        {"terminal", "[--linger MS]",
         "raw pass-through between stdin/stdout and the link (Ctrl-] ends it on a terminal)", &runTerminal},
    };
    return table;
}

const Command *findCommand(const QString &name)
{
    for (const Command &c : commands())
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

} // namespace cli
