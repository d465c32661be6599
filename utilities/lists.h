#pragma once

// What a controller's access list and schedule table hold, against what a
// download of a file would leave there: the comparison plan and apply make.
// Compared in memory; what leaves this comparison is counts and canonical
// bytes for a keyed hash, never an ID.

#include "utilities/actions.h"

#include <QByteArray>
#include <QByteArrayList>

#include <map>
#include <vector>

namespace utilities {

// An access list by ID, each with its 3-character schedule.
using ListRecords = std::map<QByteArray, QByteArray>;

// What downloading these file lines leaves in the list: empty lines skipped,
// without the schedule option every ID on schedule 000, and an ID given
// twice on the schedule of its last line.
ListRecords listOfFile(const QByteArrayList &lines, bool includesSchedule);

// A controller's list, taken from its upload into memory: deleted entries
// ("999") are counted and left out.
class ListReader final : public RecordConsumer {
public:
    Take take(const QByteArray &record) override;
    bool finish(bool complete) override { return complete; }
    const ListRecords &records() const { return m_records; }
    qint64 deleted() const { return m_deleted; }

private:
    ListRecords m_records;
    qint64 m_deleted = 0;
};

struct ListDifference {
    qint64 missing = 0;     // records of the file absent, or on another schedule
    QByteArrayList surplus; // IDs the file does not hold
};
ListDifference compareLists(const ListRecords &wanted, const ListRecords &held);

// One line "sssID" a record, in ID order: equal lists, equal bytes.
QByteArray canonicalList(const ListRecords &records);

// The schedule table, 200 schedules of 8 day codes, each entry its
// "HHMMhhmm" (a cleared entry reads 00000000).
using ScheduleTable = std::vector<QByteArray>;

// The table a download of these (checked) file lines leaves: cleared first,
// then each line in turn.
ScheduleTable scheduleTableOfFile(const QByteArrayList &lines);

// A controller's table, taken from its upload into memory.
class ScheduleReader final : public RecordConsumer {
public:
    ScheduleReader();
    Take take(const QByteArray &record) override;
    bool finish(bool complete) override { return complete; }
    const ScheduleTable &table() const { return m_table; }

private:
    ScheduleTable m_table;
};

// Entries that differ.
qint64 differingEntries(const ScheduleTable &a, const ScheduleTable &b);

// One line "sssdHHMMhhmm" an entry, in table order.
QByteArray canonicalSchedules(const ScheduleTable &table);

} // namespace utilities
