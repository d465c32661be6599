#include "cli/commands.h"
#include "cli/listfile.h"
#include "core/inputfile.h"
#include "journal/secret.h"
#include "utilities/lists.h"

#include <QJsonObject>

namespace cli {

namespace {
using utilities::Outcome;

// The controller's access list against what a download of the file would
// leave, read into memory: counts and keyed hashes, never an ID.
int compareAccessList(Context &c, const QString &path, const std::optional<QByteArray> &key)
{
    const bool sorted = c.args.has(QStringLiteral("--sorted"));
    const auto lines = readFileLines(c, path, core::kAccessListFile);
    if (!lines)
        return kExitUsage;
    utilities::Actions actions(c.link, c.out);
    utilities::ListReader held;
    if (actions.upload_accesslist(!sorted, held).outcome != Outcome::Done)
        return kExitFailure;
    const utilities::ListRecords wanted = utilities::listOfFile(*lines, c.args.has(QStringLiteral("--schedule")));
    const utilities::ListDifference d = utilities::compareLists(wanted, held.records());
    QJsonObject o{{QStringLiteral("list"), sorted ? QStringLiteral("sorted") : QStringLiteral("ad hoc")},
                  {QStringLiteral("file_records"), static_cast<qint64>(wanted.size())},
                  {QStringLiteral("records"), static_cast<qint64>(held.records().size())},
                  {QStringLiteral("deleted"), held.deleted()},
                  {QStringLiteral("missing"), d.missing},
                  {QStringLiteral("surplus"), d.surplus.size()}};
    if (key) {
        o.insert(QStringLiteral("file_hmac_sha256"), journal::keyedHash(*key, utilities::canonicalList(wanted)));
        o.insert(QStringLiteral("hmac_sha256"), journal::keyedHash(*key, utilities::canonicalList(held.records())));
    }
    c.results.insert(QStringLiteral("access"), o);
    return kExitOk;
}

// The controller's schedule table against the one a download of the file
// leaves.
int compareSchedules(Context &c, const QString &path, const std::optional<QByteArray> &key)
{
    const auto lines = readFileLines(c, path, core::kScheduleFile);
    if (!lines)
        return kExitUsage;
    utilities::Actions actions(c.link, c.out);
    utilities::ScheduleReader held;
    if (actions.upload_schedules(held).outcome != Outcome::Done)
        return kExitFailure;
    const utilities::ScheduleTable wanted = utilities::scheduleTableOfFile(*lines);
    QJsonObject o{{QStringLiteral("entries"), static_cast<qint64>(wanted.size())},
                  {QStringLiteral("differing"), utilities::differingEntries(wanted, held.table())}};
    if (key) {
        o.insert(QStringLiteral("file_hmac_sha256"), journal::keyedHash(*key, utilities::canonicalSchedules(wanted)));
        o.insert(QStringLiteral("hmac_sha256"), journal::keyedHash(*key, utilities::canonicalSchedules(held.table())));
    }
    c.results.insert(QStringLiteral("schedules"), o);
    return kExitOk;
}
} // namespace

// What plan compares: the firmware identification and the clock, and with
// --access or --schedules the list or the schedule table, read on one link
// session.
int runInspect(Context &c)
{
    bool noKey = false;
    const auto key = hashKey(c, &noKey);
    if (noKey)
        return kExitUsage;
    int rc = runVersion(c);
    if (rc == kExitOk)
        rc = readClock(c);
    if (const auto access = c.args.value(QStringLiteral("--access")); rc == kExitOk && access)
        rc = compareAccessList(c, *access, key);
    if (const auto schedules = c.args.value(QStringLiteral("--schedules")); rc == kExitOk && schedules)
        rc = compareSchedules(c, *schedules, key);
    return rc;
}

} // namespace cli
