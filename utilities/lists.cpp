#include "utilities/lists.h"

#include "utilities/formats.h"

namespace utilities {

namespace {
constexpr qsizetype kScheduleWidth = 3;
const QByteArray kNoSchedule = QByteArrayLiteral("000");
const QByteArray kDeleted = QByteArrayLiteral("999");
const QByteArray kCleared = QByteArrayLiteral("00000000");

qsizetype slotOf(const QByteArray &entry) { return (entry.left(3).toInt() - 1) * kDayCodes + (entry.at(3) - '1'); }
} // namespace

ListRecords listOfFile(const QByteArrayList &lines, bool includesSchedule)
{
    ListRecords records;
    for (const QByteArray &line : lines) {
        if (line.isEmpty())
            continue;
        if (includesSchedule)
            records[line.mid(kScheduleWidth)] = line.left(kScheduleWidth);
        else
            records[line] = kNoSchedule;
    }
    return records;
}

RecordConsumer::Take ListReader::take(const QByteArray &record)
{
    const QByteArray schedule = record.left(kScheduleWidth);
    if (schedule == kDeleted) {
        ++m_deleted;
        return Take::Skipped;
    }
    m_records[record.mid(kScheduleWidth)] = schedule;
    return Take::Kept;
}

ListDifference compareLists(const ListRecords &wanted, const ListRecords &held)
{
    ListDifference d;
    for (const auto &[id, schedule] : wanted)
        if (const auto found = held.find(id); found == held.end() || found->second != schedule)
            ++d.missing;
    for (const auto &[id, schedule] : held)
        if (!wanted.contains(id))
            d.surplus << id;
    return d;
}

QByteArray canonicalList(const ListRecords &records)
{
    QByteArray out;
    for (const auto &[id, schedule] : records)
        out += schedule + id + '\n';
    return out;
}

ScheduleTable scheduleTableOfFile(const QByteArrayList &lines)
{
    ScheduleTable table(static_cast<size_t>(kSchedules) * kDayCodes, kCleared);
    for (const QByteArray &line : lines)
        if (isValidScheduleLine(line))
            table[static_cast<size_t>(slotOf(line))] = line.mid(4);
    return table;
}

ScheduleReader::ScheduleReader() : m_table(static_cast<size_t>(kSchedules) * kDayCodes, kCleared) {}

RecordConsumer::Take ScheduleReader::take(const QByteArray &record)
{
    // The upload's own lines: "sss" 001..200, a day code 1..8, the times.
    if (record.size() < 4)
        return Take::Skipped;
    const qsizetype slot = slotOf(record);
    if (slot < 0 || slot >= static_cast<qsizetype>(m_table.size()))
        return Take::Skipped;
    m_table[static_cast<size_t>(slot)] = record.mid(4);
    return Take::Kept;
}

qint64 differingEntries(const ScheduleTable &a, const ScheduleTable &b)
{
    qint64 n = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        n += a[i] == b[i] ? 0 : 1;
    return n;
}

QByteArray canonicalSchedules(const ScheduleTable &table)
{
    QByteArray out;
    for (size_t slot = 0; slot < table.size(); ++slot)
        out += QByteArray::number(static_cast<int>(slot) / kDayCodes + 1).rightJustified(3, '0')
            + QByteArray::number(static_cast<int>(slot) % kDayCodes + 1) + table[slot] + '\n';
    return out;
}

} // namespace utilities
