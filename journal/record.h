#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace journal {

// How an operation ended.
enum class Outcome { Ok, Failed, Interrupted, LinkNotOpened };
QString outcomeName(Outcome outcome);

inline const QString kStarted = QStringLiteral("started");
inline const QString kEnded = QStringLiteral("ended");
// The "record before" the first one.
inline const QString kGenesis = QString(64, QLatin1Char('0'));

// One row of the journal. An operation leaves two: a started record as it
// begins (so that a run killed in the middle still shows what it began) and
// an ended record that repeats it with the end time, the outcome and what the
// operation learned.
struct Record {
    qint64 seq = 0; // the record's place in the chain, from 1
    QString kind;   // kStarted or kEnded
    QString operationId;
    QString run; // the fleet run, or empty
    int attempt = 1;
    QString started, ended; // UTC with milliseconds; ended empty in a started record
    QString operatorName;   // user@host
    QString version;        // of the program
    QString controller;     // the inventory's name, or empty
    QString link;           // tcp:HOST:PORT or serial:DEVICE
    QString operation;      // "flash", "access download" …
    QJsonArray options;     // as given, never a card ID
    QJsonArray files;       // images, profiles, lists: path, size and digest
    QString outcome;        // outcomeName(), empty in a started record
    std::optional<int> exitStatus;
    QString message; // the status or message that ended a failed operation
    QJsonObject results;
    QString prev; // the hash of the record before
    QString hash; // SHA-256 of this record's content, prev included

    // Every field, as the JSON listing and the export print it.
    QJsonObject toJson() const;
};

// What the hash covers: every field but the hash itself, as compact JSON
// with its keys sorted.
QByteArray canonicalContent(const Record &record);
QString contentHash(const Record &record);

} // namespace journal
