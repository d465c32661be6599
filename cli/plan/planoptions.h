#pragma once

#include "cli/plan/waves.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace cli::plan {

// plan INVENTORY [--only NAME,...] [--parallel N] [--journal FILE] [--prune] [--skip-lists] [--json]
// apply INVENTORY [the same] [--waves LIST] [--max-failures N|P%] [--yes|--no] [--report FILE]
struct PlanOptions {
    bool apply = false;
    QString inventory;
    QStringList only;
    int parallel = 8;
    QString journal; // given after the command
    bool json = false;
    QList<Amount> waves{Amount{100, true}};
    std::optional<Amount> maxFailures;
    bool yes = false; // answers the ID-size question Yes
    QString report;
    // Surplus ad hoc IDs are pending (and apply deletes them).
    bool prune = false;
    // The access lists and schedules are neither read nor applied.
    bool skipLists = false;
};

std::optional<PlanOptions> parsePlanOptions(bool apply, const QStringList &arguments, QString *error);

} // namespace cli::plan
