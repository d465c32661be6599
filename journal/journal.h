#pragma once

#include "journal/record.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QIODevice;
class QSqlQuery;

namespace journal {

// What a listing selects; empty fields select everything.
struct Filter {
    QString controller;
    QString link;
    QString operation;      // "access" selects "access download" and "access upload" too
    QStringList operations; // any of these, exactly
    QString run;
    QDateTime since, until; // when the operation started; until is exclusive
    bool failed = false;    // whatever did not end ok, unfinished ones included
    int last = 0;           // only the newest N
};

// The journal: an append-only hash chain of records in an SQLite file
// (write-ahead log, synchronous=NORMAL). Writers take the write lock before
// they read the newest record, so that two processes appending at once
// chain one after the other; one waits for the other up to a busy time-out.
// Used from the thread that opened it.
class Journal {
public:
    enum class Access { Write, Read };
    // For writing, the file is made on first use (mode 0600) with the key of
    // its keyed hashes beside it, and brought to the current schema; a
    // journal of a newer schema is refused. For reading it must exist.
    // Nothing, with why in error, when it cannot be opened.
    static std::unique_ptr<Journal> open(const QString &path, Access access, QString *error);
    ~Journal();
    Journal(const Journal &) = delete;
    Journal &operator=(const Journal &) = delete;

    const QString &path() const { return m_path; }
    // Written by a newer version: readable as far as this one knows it, but
    // its hashes cover fields this version cannot see.
    bool newer() const { return m_newer; }

    // Appends the record as the newest of the chain, filling its place, the
    // hash before it and its own hash.
    bool append(Record &record, QString *error);
    // The keyed hash (hex) of what data holds; empty for a journal opened
    // for reading or data that cannot be read.
    QString keyedHash(QIODevice &data) const;

    // The whole chain, oldest first.
    std::vector<Record> records(QString *error) const;
    // The operations the filter selects, oldest first: each one's ended
    // record, or its started record when it never ended.
    std::vector<Record> operations(const Filter &filter, QString *error) const;

private:
    Journal(QString path, QString connection);
    bool prepare(Access access, QString *error);
    bool migrate(QString *error);
    std::vector<Record> select(const QString &where, const QVariantList &values, int last, QString *error) const;
    QString failure(const QString &what) const;

    QString m_path;
    QString m_connection;
    QByteArray m_key;
    // An append's statements, prepared once.
    struct Statements;
    std::unique_ptr<Statements> m_statements;
    bool m_newer = false;
};

} // namespace journal
