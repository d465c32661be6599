#pragma once

#include "cli/fleet/runner.h"
#include "cli/plan/planoptions.h"
#include "cli/plan/siteplan.h"

#include <QJsonObject>

#include <variant>
#include <vector>

namespace cli {
class InterruptSignals;
}

namespace journal {
class Journal;
}

namespace cli::plan {

// What plan learned of a site, in the inventory's order.
struct Site {
    std::vector<::fleet::Controller> controllers;
    std::vector<Targets> targets;
    std::vector<Reading> readings;
    std::vector<ControllerPlan> plans;
    std::vector<fleet::Runner::Member> members; // names and link keys, for the runner
    QString runId;
    QStringList hashKey; // --hash-key FILE for the reads, when the journal has a key

    QJsonObject object(std::size_t index) const;
    QStringList lines(std::size_t index) const;
};

// Reads every controller of the site (each in a worker, on one link session;
// with json a "reading" object as each read starts)
// and plans it against its desired state and the journal (history; none:
// nothing was programmed from it); the reads are recorded in journal. An exit
// status instead when it cannot: 2 on a usage or inventory error (told on
// stderr), 130 when interrupted.
std::variant<Site, int> planSite(const PlanOptions &options, bool json, InterruptSignals &interrupts,
                                 journal::Journal *journal, const journal::Journal *history, const QString &runId);

// Plans the site, then runs the pending actions of each controller in turn
// (firmware, profile, clock), each through the command a technician would
// run and checked after it, in waves and within the failure threshold.
// Exit 0 when the site ends in state, 1 otherwise, 130 when interrupted.
int runApply(const PlanOptions &options, bool json, InterruptSignals &interrupts, journal::Journal *journal,
             const journal::Journal *history);

// inspect's words that read the controller's managed access list and
// schedules (as far as asked), hashed with hashKey.
QStringList listReadArguments(const ::fleet::DesiredState &desired, const QStringList &hashKey, bool access = true,
                              bool schedules = true);

// A usage error told on stderr, with the usage text: exit 2.
int usageError(const QString &text);

} // namespace cli::plan
