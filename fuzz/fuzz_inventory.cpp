// The fleet's inventory reader: any text either is refused with the line
// named and nothing to run, or gives controllers whose names are safe to put
// in file names and whose link options tarnic-cli would accept.
#include "cli/fleet/commandline.h"
#include "fleet/inventory.h"
#include "fuzz/fuzzinput.h"

#include <QSet>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    const auto inventory = fleet::parseInventory(QString::fromUtf8(in.bytes(in.remaining())), QStringLiteral("/site"));
    if (!inventory.error.isEmpty()) {
        if (!inventory.controllers.empty() || !inventory.error.startsWith(QLatin1String("inventory line ")))
            std::abort();
        return 0;
    }
    if (inventory.controllers.empty())
        std::abort();
    QSet<QString> names;
    const auto upload = std::get<cli::fleet::FleetCommand>(cli::fleet::checkCommand(
        {QStringLiteral("access"), QStringLiteral("upload"), QStringLiteral("up/{name}.txt")}));
    for (const fleet::Controller &c : inventory.controllers) {
        if (c.name.contains(QLatin1Char('/')) || c.name.startsWith(QLatin1Char('.')) || names.contains(c.name))
            std::abort();
        names.insert(c.name);
        const QStringList link = c.linkArguments();
        if (link.size() < 2 || link.at(1).isEmpty())
            std::abort();
        // What the journal and the reports print reads back as the same link.
        const auto printed = wire::Endpoint::parse(c.endpoint.toString());
        if (!printed || printed->toString() != c.endpoint.toString())
            std::abort();
        // Each controller's upload lands in a file of its own, inside up/.
        const QString file = std::get<QStringList>(cli::fleet::controllerCommand(upload, c, false)).at(2);
        if (file.count(QLatin1Char('/')) != 1 || file.contains(QLatin1String("{name}")))
            std::abort();
    }
    return 0;
}
