#pragma once

#include "journal/operation.h"

#include <QString>

#include <memory>

namespace wire {
class Link;
}

namespace journal {

// The desktop program's journal: opened once, at its place, while recording
// is on, and kept open; every operation a screen runs on the controller
// begins here. A journal that cannot be written never stops the work: the
// screen's note says why, and the operation runs unrecorded.
class Desk {
public:
    // The screen's line about the journal: the warning while records cannot
    // be written, empty once one is.
    using Note = Operation::Warn;

    explicit Desk(bool on);
    ~Desk();
    Desk(const Desk &) = delete;
    Desk &operator=(const Desk &) = delete;

    bool on() const { return m_on; }
    // Turned on, the journal is opened again (a problem fixed meanwhile is
    // gone); turned off, it is closed.
    void setOn(bool on);
    // Writes the started record of an operation about to begin.
    Operation begin(const Begin &begin, const Note &note) const;

private:
    bool m_on = false;
    std::unique_ptr<Journal> m_journal;
    QString m_problem; // why it could not be opened
};

// An operation on the link as it is open now (none named when it is not),
// as it begins.
Begin onLink(const wire::Link &link, const QString &operation, const QStringList &options = {},
             const QList<File> &files = {});

// The warning of a record that could not be written, as every front end says it.
QString unrecorded(const QString &problem);

} // namespace journal
