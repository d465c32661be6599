#include "utilities/formats.h"

namespace utilities {

namespace {
bool allDigits(const QByteArray &text)
{
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// Two digits at pos (already known to be digits).
int twoDigits(const QByteArray &line, int pos) { return (line.at(pos) - '0') * 10 + (line.at(pos + 1) - '0'); }
} // namespace

QByteArrayList splitFileLines(const QByteArray &data)
{
    QByteArrayList lines;
    qsizetype start = 0;
    const qsizetype n = data.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = data.at(i);
        if (c != '\r' && c != '\n')
            continue;
        lines.append(data.mid(start, i - start));
        if (c == '\r' && i + 1 < n && data.at(i + 1) == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(data.mid(start));
    return lines;
}

QByteArray accessRecord(const QByteArray &line, bool adHoc, bool includesSchedule)
{
    static const QByteArray kNoSchedule = "00000000000"; // schedule 000 and eight zeros
    if (!includesSchedule)
        return (adHoc ? QByteArray("AN") : QByteArray("AS")) + kNoSchedule + line;
    if (!adHoc)
        return "AS" + line;
    return "AN" + line.left(3) + "00000000" + line.mid(3);
}

std::optional<QByteArray> uploadLine(const QByteArray &reply, bool includesSchedule, bool inclDeleted)
{
    if (reply.startsWith("999") && !inclDeleted)
        return std::nullopt;
    if (includesSchedule || reply.size() < 3)
        return reply;
    return reply.mid(3);
}

QByteArray sortedTestFile()
{
    QByteArray out;
    out.reserve(qsizetype{1001} * 8);
    for (int n = 1; n <= 1000; ++n)
        out += fileLine(QByteArray::number(n).rightJustified(6, '0'));
    out += fileLine("63193");
    return out;
}

bool isValidScheduleLine(const QByteArray &line)
{
    if (line.size() != 12)
        return false;
    const QByteArray number = line.left(3);
    if (!allDigits(number))
        return false;
    const int schedule = number.toInt();
    if (schedule < 1 || schedule > kSchedules)
        return false;
    if (line.at(3) < '1' || line.at(3) > '8')
        return false;
    if (!allDigits(line.mid(4)))
        return false;
    if (twoDigits(line, 4) > 23 || twoDigits(line, 8) > 23)
        return false;
    return twoDigits(line, 6) <= 59 && twoDigits(line, 10) <= 59;
}

int firstInvalidScheduleLine(const QByteArrayList &lines)
{
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (!lines.at(i).isEmpty() && !isValidScheduleLine(lines.at(i)))
            return static_cast<int>(i + 1);
    return 0;
}

QByteArray scheduleReadCommand(int schedule) { return "SR" + QByteArray::number(schedule).rightJustified(3, '0'); }

QByteArrayList scheduleFileLines(int schedule, const QByteArray &reply)
{
    QByteArrayList lines;
    const QByteArray number = QByteArray::number(schedule).rightJustified(3, '0');
    for (int day = 1; day <= kDayCodes; ++day)
        lines.append(number + QByteArray::number(day) + reply.mid(static_cast<qsizetype>(day - 1) * 8, 8));
    return lines;
}

QByteArray hsTestRecord(int n)
{
    return "A000000000000000" + QByteArray::number(n).rightJustified(3, '0') + "011"
        + "10011008001001101500"
          "10011108001001111500"
          "10011208001001121500"
          "10011308001001131500"
          "10011408001001141500";
}

std::optional<int> parseHours(const QString &text)
{
    QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    for (const QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    // Leading zeros do not make a number bigger: "00005" is 5. What is left
    // beyond two digits is above 24 whatever its length.
    qsizetype first = 0;
    while (first + 1 < t.size() && t.at(first) == QLatin1Char('0'))
        ++first;
    t.remove(0, first);
    if (t.size() > 2)
        return std::nullopt;
    const int hours = t.toInt();
    if (hours > 24)
        return std::nullopt;
    return hours;
}

QByteArray setTimeCommand(const QDateTime &pcNow, int hours, bool add)
{
    // Moved on the wall clock, as the calendar counts: a daylight-saving change
    // in between must not shift the hour ("24" back is the same time of the
    // previous day).
    const QDateTime wall(pcNow.date(), pcNow.time(), Qt::UTC);
    const QDateTime moment = wall.addSecs(static_cast<qint64>(add ? hours : -hours) * 3600);
    const QByteArray digits = moment.toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1();
    return "+" + digits.mid(2) + QByteArray::number(moment.date().dayOfWeek());
}

QString formatControllerTime(const QByteArray &reply)
{
    const QString r = QString::fromLatin1(reply);
    return QStringLiteral("20") + r.mid(0, 2) + QLatin1Char('-') + r.mid(2, 2) + QLatin1Char('-') + r.mid(4, 2)
        + QLatin1Char(' ') + r.mid(6, 2) + QLatin1Char(':') + r.mid(8, 2) + QLatin1Char(':') + r.mid(10, 2);
}

std::array<QString, 6> memoryFields(const QByteArray &reply)
{
    std::array<QString, 6> out;
    const QString r = QString::fromLatin1(reply);
    for (int i = 0; i < 6; ++i)
        out[static_cast<size_t>(i)] = r.mid(static_cast<qsizetype>(i) * 5, 5);
    return out;
}

QString clockCaption(const QDateTime &pcNow)
{
    return QStringLiteral("Current Date/Time: ") + pcNow.toString(QStringLiteral("yyyy-MM-dd  HH:mm:ss"));
}

} // namespace utilities
