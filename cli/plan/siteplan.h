#pragma once

#include "cli/plan/planoptions.h"
#include "fleet/inventory.h"
#include "journal/history.h"

#include <QJsonObject>
#include <QString>

#include <optional>
#include <vector>

namespace cli::plan {

// In the order apply runs them: surplus IDs go before a download needs
// their room.
enum class ActionKind { Firmware, Profile, Clock, Prune, Access, Schedules };
QString kindName(ActionKind kind);

struct Action {
    ActionKind kind = ActionKind::Firmware;
    QString reason;
    double seconds = 0; // predicted
    QJsonObject counts; // a list's: what is missing, surplus or different
};

// What a controller's desired files give, learned before any link opens.
struct Targets {
    QString settingsHash; // of the desired profile
    double firmwareSeconds = 0;
    double profileSeconds = 0;
    double clockSeconds = 0;
    qint64 accessRecords = 0;     // as a download leaves them
    double accessSeconds = 0;     // its download, read back
    double accessReadSeconds = 0; // plan's read of the list
    double schedulesSeconds = 0;  // their download, read back
    double schedulesReadSeconds = 0;
    double pruneSecondsEach = 0; // a delete of one ID

    double listReadSeconds() const { return accessReadSeconds + schedulesReadSeconds; }
};

// What plan's read of a controller found.
struct Reading {
    bool read = false;
    QString failure; // why it was not read
    QString version; // the firmware identification
    QString time;    // the clock, as read
    std::optional<qint64> clockOffset;
    QJsonObject access;    // the list against its file: counts and keyed hashes
    QJsonObject schedules; // the same for the schedule table
};
// From the results of a read (the hidden command "inspect"), its exit
// status and what ended it.
Reading readingOf(int exitCode, const QJsonObject &results, const QString &ending);

struct ControllerPlan {
    bool read = false;
    // The journal shows it left in its boot code by an interrupted download.
    bool interrupted = false;
    QString failure; // why it could not be read
    std::vector<Action> actions;
    std::optional<journal::Record> programmed; // the programming the profile relies on
    QStringList notes;                         // what is reported but not pending

    bool inState() const { return read && actions.empty(); }
};

// The actions that bring the controller to its desired state, from what was
// read and what the journal shows.
ControllerPlan planController(const ::fleet::Controller &controller, const Targets &targets, const Reading &reading,
                              const journal::ControllerHistory &history, const PlanOptions &options);

// Firmware identifications as the inventory and a reply give them: blanks
// around do not count (the inventory's fields lose theirs).
bool sameIdentification(const QString &a, const QString &b);

// Where the clock stands against its desired place: seconds ahead (negative:
// behind) of this computer's clock shifted by the desired hours.
qint64 clockDrift(const ::fleet::DesiredState &desired, qint64 offset);

} // namespace cli::plan
