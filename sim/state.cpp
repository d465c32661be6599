#include "sim/state.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <set>

namespace sim {

namespace {
constexpr qint64 kMaxFileBytes = qint64{64} << 20;
// The memory reply counts a list's entries in five digits.
constexpr qsizetype kMaxEntries = 99999;
// A century either way is room enough for any clock a test sets.
constexpr double kMaxOffset = 100 * 366 * 86400.0;
constexpr int kSchedules = 200;
constexpr int kDays = 8;

// What a reply line can carry: one byte a character, no carriage return.
bool lineText(const QJsonValue &value, QByteArray *out)
{
    if (!value.isString())
        return false;
    const QString text = value.toString();
    if (std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xff || c == u'\r'; }))
        return false;
    *out = text.toLatin1();
    return true;
}

// Each reader returns the problem it found, empty for none.
QString readEntries(const QJsonValue &value, std::vector<Entry> *out)
{
    if (!value.isArray())
        return QStringLiteral("must be a list of records");
    const QJsonArray list = value.toArray();
    if (list.size() > kMaxEntries)
        return QStringLiteral("holds more than %1 records").arg(kMaxEntries);
    std::set<QByteArray> ids;
    for (qsizetype i = 0; i < list.size(); ++i) {
        QByteArray record;
        if (!lineText(list.at(i), &record) || record.size() < 4)
            return QStringLiteral("record %1 is not a schedule of 3 characters followed by an ID").arg(i + 1);
        Entry entry{record.left(3), record.mid(3)};
        if (!ids.insert(entry.id).second)
            return QStringLiteral("record %1 repeats ID %2").arg(i + 1).arg(QString::fromLatin1(entry.id));
        out->push_back(std::move(entry));
    }
    return {};
}

QString readSchedules(const QJsonValue &value, std::vector<QByteArray> *out)
{
    if (!value.isArray())
        return QStringLiteral("must be a list of schedule entries");
    const QJsonArray list = value.toArray();
    std::set<int> taken;
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QByteArray entry = list.at(i).toString().toLatin1();
        const int slot = list.at(i).isString() ? scheduleSlot(entry) : -1;
        if (slot < 0)
            return QStringLiteral("entry %1 is not SSSDHHMMhhmm (schedule 001 to 200, day 1 to 8, start and end time)")
                .arg(i + 1);
        if (!taken.insert(slot).second)
            return QStringLiteral("entry %1 sets schedule %2 day %3 again")
                .arg(i + 1)
                .arg(QString::fromLatin1(entry.left(3)), QString::fromLatin1(entry.mid(3, 1)));
        out->push_back(entry);
    }
    return {};
}

QString readController(const QJsonObject &object, ControllerState *state)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString key = it.key();
        QString problem;
        if (key == u"version") {
            if (!lineText(*it, &state->version.emplace()))
                problem = QStringLiteral("must be text of one byte a character, without a carriage return");
        } else if (key == u"clock_offset") {
            const double seconds = it->toDouble();
            if (!it->isDouble() || seconds != std::trunc(seconds) || std::abs(seconds) > kMaxOffset)
                problem = QStringLiteral("must be a whole number of seconds, at most a century either way");
            else
                state->clockOffset = static_cast<qint64>(seconds);
        } else if (key == u"ad_hoc" || key == u"sorted") {
            problem = readEntries(*it, &(key == u"ad_hoc" ? state->adHoc : state->sorted).emplace());
        } else if (key == u"schedules") {
            problem = readSchedules(*it, &state->schedules.emplace());
        } else {
            return QStringLiteral("unknown field \"%1\"").arg(key);
        }
        if (!problem.isEmpty())
            return QStringLiteral("\"%1\" %2").arg(key, problem);
    }
    return {};
}
} // namespace

bool parseState(const QByteArray &json, int controllers, SiteState *site, QString *error)
{
    QJsonParseError parsed{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parsed);
    if (parsed.error != QJsonParseError::NoError) {
        *error = QStringLiteral("not JSON: %1 at byte %2").arg(parsed.errorString()).arg(parsed.offset);
        return false;
    }
    const QJsonObject top = doc.object();
    if (!doc.isObject() || top.size() != 1 || !top.value(u"controllers").isObject()) {
        *error = QStringLiteral("expected {\"controllers\": {\"1\": {...}, ...}}");
        return false;
    }
    const QJsonObject all = top.value(u"controllers").toObject();
    for (auto it = all.begin(); it != all.end(); ++it) {
        bool ok = false;
        const int index = it.key().toInt(&ok);
        if (!ok || index < 1 || index > controllers || QString::number(index) != it.key()) {
            *error = QStringLiteral("\"%1\" is not a controller index from 1 to %2").arg(it.key()).arg(controllers);
            return false;
        }
        ControllerState state;
        const QString problem =
            it->isObject() ? readController(it->toObject(), &state) : QStringLiteral("must be an object");
        if (!problem.isEmpty()) {
            *error = QStringLiteral("controller %1: %2").arg(index).arg(problem);
            return false;
        }
        (*site)[index] = std::move(state);
    }
    return true;
}

bool readStateFile(const QString &path, int controllers, SiteState *site, QString *error)
{
    QFile file(path);
    QString problem;
    if (QFileInfo::exists(path) && !QFileInfo(path).isFile())
        problem = QStringLiteral("not a regular file");
    else if (!file.open(QIODevice::ReadOnly))
        problem = file.errorString();
    else if (file.size() > kMaxFileBytes)
        problem = QStringLiteral("larger than %1 bytes").arg(kMaxFileBytes);
    else
        parseState(file.readAll(), controllers, site, &problem);
    if (problem.isEmpty())
        return true;
    *error = QStringLiteral("%1: %2").arg(path, problem);
    return false;
}

QByteArray stateJson(const ControllerState &state)
{
    const auto records = [](const std::optional<std::vector<Entry>> &list) {
        QJsonArray out;
        for (const Entry &e : list.value_or(std::vector<Entry>{}))
            out.append(QString::fromLatin1(e.schedule + e.id));
        return out;
    };
    QJsonArray schedules;
    for (const QByteArray &entry : state.schedules.value_or(std::vector<QByteArray>{}))
        schedules.append(QString::fromLatin1(entry));
    const QJsonObject object{
        {QStringLiteral("version"), QString::fromLatin1(state.version.value_or(QByteArray()))},
        {QStringLiteral("clock_offset"), state.clockOffset.value_or(0)},
        {QStringLiteral("ad_hoc"), records(state.adHoc)},
        {QStringLiteral("sorted"), records(state.sorted)},
        {QStringLiteral("schedules"), schedules},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray stateFile(const std::vector<QByteArray> &controllers)
{
    QByteArray out = "{\"controllers\": {\n";
    for (size_t i = 0; i < controllers.size(); ++i)
        out += "  \"" + QByteArray::number(qulonglong{i + 1}) + "\": " + controllers[i]
            + (i + 1 < controllers.size() ? ",\n" : "\n");
    return out + "}}\n";
}

int scheduleSlot(const QByteArray &entry)
{
    if (entry.size() != 12 || !std::all_of(entry.begin(), entry.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    const int schedule = entry.left(3).toInt();
    const int day = entry.at(3) - '0';
    const int startHour = entry.mid(4, 2).toInt();
    const int startMinute = entry.mid(6, 2).toInt();
    const int endHour = entry.mid(8, 2).toInt();
    const int endMinute = entry.mid(10, 2).toInt();
    if (schedule < 1 || schedule > kSchedules || day < 1 || day > kDays || startHour > 23 || endHour > 23
        || startMinute > 59 || endMinute > 59)
        return -1;
    return (schedule - 1) * kDays + day - 1;
}

} // namespace sim
