#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <map>
#include <optional>
#include <vector>

namespace sim {

// One access-list entry as the controller keeps it.
struct Entry {
    QByteArray schedule; // 3 characters; "999" marks a deleted entry
    QByteArray id;
};
// Implicitly shared: a snapshot of a long list costs no copy.
using Entries = QList<Entry>;

// What one controller holds: the reply to "V", its clock against this
// computer's, its two access lists and its schedules. A state file may leave
// any of them out; the switches' defaults stand then.
struct ControllerState {
    std::optional<QByteArray> version;
    std::optional<qint64> clockOffset; // seconds ahead of this computer's clock
    std::optional<Entries> adHoc;
    std::optional<Entries> sorted;
    std::optional<std::vector<QByteArray>> schedules; // 12-digit entries as "SA" carries them
};

// By controller index, from 1.
using SiteState = std::map<int, ControllerState>;

// A state file's text for a simulator of `controllers` controllers; false
// with the problem.
bool parseState(const QByteArray &json, int controllers, SiteState *site, QString *error);
// The same from a file; the problem names the file.
bool readStateFile(const QString &path, int controllers, SiteState *site, QString *error);

// One controller's state with every field, as one line of JSON.
QByteArray stateJson(const ControllerState &state);
// A whole state file from each controller's line, the first controller's
// first.
QByteArray stateFile(const std::vector<QByteArray> &controllers);

// The place of a schedule entry ("SSSDHHMMhhmm": schedule 001 to 200, day 1
// to 8, two times of day) among the 200 x 8; -1 for anything else.
int scheduleSlot(const QByteArray &entry);

} // namespace sim
