#pragma once

#include "cli/arguments.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace cli::fleet {

// fleet INVENTORY [--parallel N] [--retries K] [--only NAME,...] [--report FILE]
//       [--log-dir DIR] [--yes] [--json] -- COMMAND [ARGS]
struct FleetOptions {
    QString inventory;
    int parallel = 8;
    int retries = 0;
    QStringList only;
    QString report;
    QString logDir;
    bool yes = false; // answers the ID-size question Yes
    bool json = false;
    QStringList command; // COMMAND [ARGS]
};

// The names of every --only, the lists added up; a usage error when one
// holds an empty name.
std::optional<QStringList> onlyNames(const Arguments &arguments, QString *error);

std::optional<FleetOptions> parseFleetOptions(const QStringList &arguments, QString *error);

} // namespace cli::fleet
