#include "cli/commands.h"

namespace cli {

std::span<const Command> commands()
{
    static const Command table[] = {
        {"version", "", &runVersion},
        {"flash", "IMAGE", &runFlash},
        {"bootext", "IMAGE", &runBootext},
    };
    return table;
}

} // namespace cli
