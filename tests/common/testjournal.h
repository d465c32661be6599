#pragma once

#include "journal/journal.h"

#include <QJsonDocument>
#include <QTemporaryDir>

namespace testing {

// A journal of a test's own: TARNIC_JOURNAL names a file in a temporary
// folder for as long as it lives. Tests that use it link tarnic_journal.
struct TestJournal {
    TestJournal() { qputenv("TARNIC_JOURNAL", path.toLocal8Bit()); }
    ~TestJournal() { qunsetenv("TARNIC_JOURNAL"); }
    TestJournal(const TestJournal &) = delete;
    TestJournal &operator=(const TestJournal &) = delete;

    // Every record, oldest first; none while the file does not exist.
    std::vector<journal::Record> records() const
    {
        QString error;
        const auto read = journal::Journal::open(path, journal::Journal::Access::Read, &error);
        return read ? read->records(&error) : std::vector<journal::Record>();
    }
    // Each record in brief: "started version", "ended version ok".
    QStringList brief() const
    {
        QStringList lines;
        for (const journal::Record &r : records())
            lines << QStringList{r.kind, r.operation, r.outcome}.join(QLatin1Char(' ')).trimmed();
        return lines;
    }
    // The whole journal as text, for what it must never hold.
    QByteArray dump() const
    {
        QByteArray all;
        for (const journal::Record &r : records())
            all += QJsonDocument(r.toJson()).toJson(QJsonDocument::Compact) + '\n';
        return all;
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("journal.db"));
};

} // namespace testing
