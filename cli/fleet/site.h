#pragma once

#include "fleet/inventory.h"

#include <optional>
#include <vector>

namespace cli {
class InterruptSignals;
}

namespace cli::fleet {

// The inventory at path, read through a wait an interrupt ends (it may come
// through a pipe); nothing when interrupted.
std::optional<::fleet::Inventory> readSite(const QString &path, InterruptSignals &interrupts);

// The controllers --only picks, in the inventory's order (all without it);
// unknown names those the inventory lacks, as a usage error.
std::vector<::fleet::Controller> selectControllers(const ::fleet::Inventory &inventory, const QStringList &only,
                                                   QString *unknown);

} // namespace cli::fleet
