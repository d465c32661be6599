#pragma once

#include "journal/record.h"

#include <QHash>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace journal {

class Journal;

// What the journal shows of one controller's programming runs and downloads,
// the operations that change what it holds beyond its clock.
struct ControllerHistory {
    // The last programming run that completed (its results carry the hash of
    // the settings it programmed).
    std::optional<Record> programmed;
    // The first operation after it that left the controller other than it
    // programmed: a programming run that sent commands and did not complete
    // (an accepted ID-size change among them), or a download that reached the
    // link, whatever its end.
    std::optional<Record> staleBy;
    // The last download, when it left the controller in its boot code or
    // never recorded its end, and no programming run completed since.
    std::optional<Record> bootCode;
};

// The journal's programming runs and downloads, read once for a whole site,
// from every front end.
class History {
public:
    // What a printed link (tcp:HOST:PORT, serial:DEVICE) reaches: two links
    // with a key in common reach one controller.
    using LinkKeys = std::function<QStringList(const QString &link)>;
    History(const Journal &journal, const LinkKeys &keysOf, QString *error);

    // The controller of that inventory name, or whose link reaches one of
    // linkKeys.
    ControllerHistory of(const QString &name, const QStringList &linkKeys) const;

private:
    std::vector<Record> m_records;      // oldest first
    QHash<QString, QStringList> m_keys; // by printed link, each resolved once
};

} // namespace journal
