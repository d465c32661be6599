#include "cli/commands.h"
#include "utilities/actions.h"

namespace cli {

// memory: the memory usage figures, laid out as the screen's grid.
int runMemory(Context &c)
{
    if (!c.args.isEmpty()) {
        StdoutSinks::error(QStringLiteral("memory takes no arguments"));
        return kExitUsage;
    }
    utilities::FieldMap fields;
    utilities::Actions actions(c.link, c.utilities, c.out, fields, c.out);
    if (actions.click(utilities::ShowMemoryUsage) != utilities::Outcome::Done)
        return kExitFailure;
    auto cell = [&](int label) { return fields.value(QStringLiteral("Label1(%1)").arg(label)).leftJustified(8); };
    StdoutSinks::line(QStringLiteral("        Ad Hoc  Main    Log"));
    StdoutSinks::line(QStringLiteral("Avail   ") + cell(12) + cell(15) + cell(14).trimmed());
    StdoutSinks::line(QStringLiteral("Used    ") + cell(13) + cell(17) + cell(16).trimmed());
    return kExitOk;
}

} // namespace cli
