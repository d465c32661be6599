#include "cli/commands.h"

namespace cli {

std::span<const Command> commands()
{
    static const Command table[] = {
        {"version", "", &runVersion},
    };
    return table;
}

} // namespace cli
