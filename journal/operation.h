#pragma once

#include "journal/record.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace journal {

class Journal;

// A file an operation reads or writes. Images and profiles are kept with
// their size and SHA-256; access lists and schedules with a keyed hash.
struct File {
    enum class Role { Image, Profile, AccessList, Schedules };
    Role role = Role::Image;
    QString path;
    bool written = false; // hashed once the operation has written it, else as it begins
};

// What an operation is, as it begins.
struct Begin {
    QString operation;   // "flash", "access download" …
    QStringList options; // as given, never a card ID
    QString controller;  // the inventory's name, or empty
    QString link;        // printed: tcp:HOST:PORT or serial:DEVICE
    QString run;         // the fleet run, or empty
    int attempt = 1;
    QList<File> files;
};

// How it ended.
struct End {
    Outcome outcome = Outcome::Failed;
    std::optional<int> exitStatus; // none from a screen: only the command line exits
    QString message;               // the status or message that ended it, when it did not end ok
    QJsonObject results;           // what it learned
};

// One operation on a controller in the journal, as every front end records
// it (the command line, a fleet's runner, a screen): begun with what it is,
// which writes the started record before the link opens, and ended with how
// it ended, which writes the ended record. A record that cannot be written
// is reported through warn, and the operation goes on.
class Operation {
public:
    using Warn = std::function<void(const QString &)>;
    // Without a journal nothing is recorded.
    Operation(Journal *journal, const Begin &begin, Warn warn);
    void end(const End &end);

private:
    QJsonObject describe(const File &file, bool hash) const;
    void write(Record record);

    Journal *m_journal;
    QList<File> m_files;
    Warn m_warn;
    Record m_record;
};

} // namespace journal
