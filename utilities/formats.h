#pragma once

// The record and file formats of the access lists and schedules, and the
// texts built from controller replies. Pure functions: no I/O, so every parser
// of untrusted input (files, replies) can be fed anything.

#include <QByteArray>
#include <QByteArrayList>
#include <QDateTime>
#include <QString>

#include <array>
#include <optional>

namespace utilities {

// ---- text files ----

// Splits a file into lines. A line ends at a carriage return (optionally
// followed by a line feed), at a lone line feed (files edited on Linux), or
// at the end of the data; a final terminator does not start another line.
QByteArrayList splitFileLines(const QByteArray &data);

// Lines as this program writes them: each ends with CR LF.
inline QByteArray fileLine(const QByteArray &line) { return line + "\r\n"; }

// ---- access lists ----

// The record a download sends for one non-empty file line. A line shorter
// than the 3-character schedule is sent as it is, with an empty ID.
QByteArray accessRecord(const QByteArray &line, bool adHoc, bool includesSchedule);

// The file line an upload writes for one controller reply, or nothing when
// the record is a deleted entry ("999") to be skipped. A reply too short to
// hold a schedule is written unchanged rather than as an empty line.
std::optional<QByteArray> uploadLine(const QByteArray &reply, bool includesSchedule, bool inclDeleted);

// The reply that ends an upload, exactly.
inline bool isEndMarker(const QByteArray &reply) { return reply == "END"; }

// The sorted test file: 000001 to 001000, then 63193, CR LF after each.
QByteArray sortedTestFile();

// ---- schedules ----

inline constexpr int kSchedules = 200;
inline constexpr int kDayCodes = 8;

// True for a 12-digit line "sssdHHMMhhmm" in the allowed ranges.
bool isValidScheduleLine(const QByteArray &line);

// The 1-based number of the first invalid non-empty line, counting empty
// lines too; 0 when every line passes.
int firstInvalidScheduleLine(const QByteArrayList &lines);

QByteArray scheduleReadCommand(int schedule); // "SR" + "001"

// The eight file lines for one schedule's "SR" reply; a short reply gives
// shorter or empty time parts.
QByteArrayList scheduleFileLines(int schedule, const QByteArray &reply);

// The HS test record number n (1..999), without its carriage return.
QByteArray hsTestRecord(int n);

// ---- single exchanges ----

// The hours field as a number of hours 0..24; nothing for an empty field,
// something that is not a whole number, or a value out of range.
std::optional<int> parseHours(const QString &text);

// "+yyMMddhhmmss" and the weekday (Monday 1 .. Sunday 7) of pcNow moved by
// hours, forward when add.
QByteArray setTimeCommand(const QDateTime &pcNow, int hours, bool add);

// "20yy-mm-dd hh:mm:ss" from the first twelve characters of a "t" reply, taken
// as they stand.
QString formatControllerTime(const QByteArray &reply);

// The six 5-character fields of a "z" reply, in reply order: ad hoc avail,
// ad hoc used, log avail, log used, main avail, main used.
std::array<QString, 6> memoryFields(const QByteArray &reply);

// The clock display's caption for a moment on the PC clock.
QString clockCaption(const QDateTime &pcNow);

} // namespace utilities
