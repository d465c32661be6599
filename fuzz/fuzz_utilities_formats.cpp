// The access-data formats: the file readers, the schedule check, the reply
// texts, and an upload written to a file and read back for a download, which
// must give back the same records; a list or schedule table uploaded into a
// file with its schedules compares equal with the controller it came from.
#include "fuzz/fuzzinput.h"
#include "utilities/formats.h"
#include "utilities/lists.h"

#include <cstdlib>

namespace {

// What a download takes from a file: its non-empty lines.
QByteArrayList records(const QByteArray &file)
{
    QByteArrayList out;
    for (const QByteArray &line : utilities::splitFileLines(file))
        if (!line.isEmpty())
            out.append(line);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    const uint8_t flags = in.byte();
    const bool withSchedule = flags & 1;
    const bool adHoc = flags & 2;
    const bool inclDeleted = flags & 4;
    const int schedule = 1 + static_cast<int>(in.pick(utilities::kSchedules));

    // Replies as the reply reader gives them: any bytes but a carriage return.
    QByteArrayList replies;
    const unsigned count = in.pick(16);
    for (unsigned i = 0; i < count; ++i)
        replies.append(in.bytes(in.pick(72)).replace('\r', ' '));

    // Upload, then read the file back.
    QByteArray file;
    QByteArrayList written;
    for (const QByteArray &reply : replies) {
        const auto line = utilities::uploadLine(reply, withSchedule, inclDeleted);
        if (!line)
            continue;
        file += utilities::fileLine(*line);
        if (!line->isEmpty())
            written.append(*line);
    }
    // A reply holding a line feed is split by the reader; those are reported,
    // not checked here.
    if (!written.join().contains('\n')) {
        if (records(file) != written)
            std::abort();
    }
    // With its schedules, the file stands for the list it came from (an empty
    // reply would be an empty line, which a download skips).
    if (withSchedule && !inclDeleted && !written.join().contains('\n') && !replies.contains(QByteArray())) {
        utilities::ListReader held;
        for (const QByteArray &reply : replies)
            held.take(reply);
        const auto d = utilities::compareLists(utilities::listOfFile(records(file), true), held.records());
        if (d.missing != 0 || !d.surplus.isEmpty())
            std::abort();
    }
    for (const QByteArray &line : records(file)) {
        const QByteArray record = utilities::accessRecord(line, adHoc, withSchedule);
        if (!record.startsWith(adHoc ? "AN" : "AS") || !record.endsWith(line.mid(3)))
            std::abort();
    }

    // Schedules: what an upload writes for one reply is checked on download.
    const QByteArray reply = replies.value(0);
    const QByteArrayList lines = utilities::scheduleFileLines(schedule, reply);
    if (lines.size() != utilities::kDayCodes)
        std::abort();
    const int bad = utilities::firstInvalidScheduleLine(lines);
    if (bad < 0 || bad > lines.size())
        std::abort();
    if (bad == 0) {
        utilities::ScheduleReader held;
        for (const QByteArray &line : lines) {
            if (!utilities::isValidScheduleLine(line))
                std::abort();
            held.take(line);
        }
        if (utilities::differingEntries(utilities::scheduleTableOfFile(lines), held.table()) != 0)
            std::abort();
    }

    // A schedule file of whatever arrived.
    const QByteArray rest = in.rest();
    const QByteArrayList fileLines = utilities::splitFileLines(rest);
    const int firstBad = utilities::firstInvalidScheduleLine(fileLines);
    if (firstBad > 0
        && (fileLines.at(firstBad - 1).isEmpty() || utilities::isValidScheduleLine(fileLines.at(firstBad - 1))))
        std::abort();

    (void)utilities::formatControllerTime(rest);
    for (const QString &field : utilities::memoryFields(rest))
        if (field.size() > 5)
            std::abort();
    (void)utilities::parseHours(QString::fromLatin1(rest));
    return 0;
}
