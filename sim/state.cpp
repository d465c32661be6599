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

// Latin-1 text inside a JSON string.
void appendEscaped(QByteArray &out, const QByteArray &text)
{
    if (std::all_of(text.begin(), text.end(), [](char c) { return c >= ' ' && c <= '~' && c != '"' && c != '\\'; })) {
        out += text;
        return;
    }
    for (const char c : text) {
        const auto byte = static_cast<quint8>(c);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            out += "\\u00" + QByteArray::number(byte, 16).rightJustified(2, '0');
        } else if (byte >= 0x80) {
            out += static_cast<char>(0xc0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3f));
        } else {
            out += c;
        }
    }
}

// A JSON string of the two texts, after what goes before it.
void appendText(QByteArray &out, const char *before, const QByteArray &text, const QByteArray &more = {})
{
    out += before;
    out += '"';
    appendEscaped(out, text);
    appendEscaped(out, more);
    out += '"';
}

// Each reader returns the problem it found, empty for none.
QString readEntries(const QJsonValue &value, Entries *out)
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
    // Written by hand: the file is rewritten at every change, and Qt's JSON
    // classes would cost several times the change itself on long lists.
    static const Entries noEntries;
    static const std::vector<QByteArray> noSchedules;
    const auto records = [](QByteArray &out, const Entries &list) {
        for (qsizetype i = 0; i < list.size(); ++i)
            appendText(out, i == 0 ? "" : ",", list[i].schedule, list[i].id);
    };
    QByteArray out = "{\"ad_hoc\":[";
    records(out, state.adHoc ? *state.adHoc : noEntries);
    out += "],\"clock_offset\":" + QByteArray::number(state.clockOffset.value_or(0)) + ",\"schedules\":[";
    const std::vector<QByteArray> &schedules = state.schedules ? *state.schedules : noSchedules;
    for (size_t i = 0; i < schedules.size(); ++i)
        appendText(out, i == 0 ? "" : ",", schedules[i]);
    out += "],\"sorted\":[";
    records(out, state.sorted ? *state.sorted : noEntries);
    out += "],\"version\":";
    appendText(out, "", state.version.value_or(QByteArray()));
    return out + '}';
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
