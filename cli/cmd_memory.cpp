#include "cli/commands.h"
#include "utilities/actions.h"
#include "utilities/resultjson.h"

namespace cli {

// memory: the memory usage figures, laid out as the screen's grid.
int runMemory(Context &c)
{
    utilities::Actions actions(c.link, c.out);
    const auto memory = actions.showMemoryUsage();
    if (memory.outcome != utilities::Outcome::Done)
        return kExitFailure;
    const utilities::MemoryUsage &m = memory.value;
    c.learn(utilities::memoryJson(m));
    auto row = [&c](const char *heading, const QString &adHoc, const QString &main, const QString &log) {
        c.out.line(QString::fromLatin1(heading).leftJustified(8) + adHoc.leftJustified(8) + main.leftJustified(8)
                   + log.trimmed());
    };
    c.out.line(QStringLiteral("        Ad Hoc  Main    Log"));
    row("Avail", m.adHocAvailable, m.mainAvailable, m.logAvailable);
    row("Used", m.adHocUsed, m.mainUsed, m.logUsed);
    return kExitOk;
}

} // namespace cli
