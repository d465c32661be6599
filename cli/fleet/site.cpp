#include "cli/fleet/site.h"

#include "cli/interruptsignals.h"
#include "link/waiter.h"

namespace cli::fleet {

std::optional<::fleet::Inventory> readSite(const QString &path, InterruptSignals &interrupts)
{
    wire::EventLoopWaiter waiter;
    interrupts.onSignal = [&waiter](int) { waiter.requestQuit(); };
    ::fleet::Inventory inventory = ::fleet::readInventory(path, waiter.readWait());
    interrupts.onSignal = nullptr;
    if (waiter.quitting())
        return std::nullopt;
    return inventory;
}

std::vector<::fleet::Controller> selectControllers(const ::fleet::Inventory &inventory, const QStringList &only,
                                                   QString *unknown)
{
    QStringList missing = only;
    std::vector<::fleet::Controller> chosen;
    for (const ::fleet::Controller &c : inventory.controllers) {
        if (!only.isEmpty() && !only.contains(c.name))
            continue;
        missing.removeAll(c.name);
        chosen.push_back(c);
    }
    if (!missing.isEmpty())
        *unknown =
            QStringLiteral("--only names controllers the inventory lacks: %1").arg(missing.join(QLatin1Char(',')));
    return chosen;
}

} // namespace cli::fleet
