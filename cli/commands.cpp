#include "cli/commands.h"

namespace cli {

std::span<const Command> commands()
{
    static const Command table[] = {
        {"version", "", &runVersion},
        {"program", "[--set NAME=VALUE]... [--yes|--no]", &runProgram},
        {"reset", "", &runReset},
        {"settings", "", &runSettings},
        {"flash", "IMAGE", &runFlash},
        {"bootext", "IMAGE", &runBootext},
        {"loopback", "[--passes N]", &runLoopback},
        {"terminal", "[--linger MS]", &runTerminal},
    };
    return table;
}

} // namespace cli
