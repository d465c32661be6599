#pragma once

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

std::optional<FleetOptions> parseFleetOptions(const QStringList &arguments, QString *error);

} // namespace cli::fleet
