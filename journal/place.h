#pragma once

#include <QString>

namespace journal {

// Where the journal lives: given on the command line, named by
// TARNIC_JOURNAL, or one file per user under $XDG_DATA_HOME
// (~/.local/share/tarnic-flash-utility/journal.db).
struct Place {
    QString path;
    bool given = false; // on the command line: a journal that cannot be written stops the command
};

Place place(const QString &given);

// The file of the secret for the journal's keyed hashes, beside it.
QString keyPath(const QString &journalPath);

} // namespace journal
