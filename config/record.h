#pragma once

#include "config/program.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <variant>

namespace config {

// Whether a run got as far as the controller, which is when it leaves a record.
bool reachedController(RunOutcome outcome);

// A record of a programming run: a profile of every setting it programmed,
// headed by comments with the time, the link, the controller's version reply
// and the outcome; it opens as a profile like any other. Written into dir
// as tarnic-YYYYMMDD-HHMMSS.tfp. The file's path, or why it could not be
// written.
struct RecordWritten {
    QString path;
};
std::variant<RecordWritten, QString> writeRecord(const QString &dir, const ProgramContext &run, RunOutcome outcome,
                                                 const QDateTime &when);

} // namespace config
