// tarnic-sim's state file reader on arbitrary text, for a simulator of three
// controllers: whatever it accepts, it writes back in a form that reads again
// to the same state.
#include "sim/state.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    constexpr int kControllers = 3;
    sim::SiteState site;
    QString error;
    const QByteArray text(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    if (!sim::parseState(text, kControllers, &site, &error))
        return 0;
    std::vector<QByteArray> lines;
    for (int index = 1; index <= kControllers; ++index)
        lines.push_back(sim::stateJson(site[index]));
    sim::SiteState again;
    if (!sim::parseState(sim::stateFile(lines), kControllers, &again, &error))
        std::abort();
    for (int index = 1; index <= kControllers; ++index)
        if (sim::stateJson(again[index]) != lines[static_cast<size_t>(index - 1)])
            std::abort();
    return 0;
}
