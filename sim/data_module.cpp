#include "sim/data_module.h"

#include <QDateTime>

#include <algorithm>
#include <utility>

namespace sim {

namespace {
constexpr int kScheduleCount = 200;
constexpr int kDays = 8;
const QByteArray kNoTimes = QByteArrayLiteral("00000000");

bool digitsOnly(const QByteArray &text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

QByteArray five(qint64 n) { return QByteArray::number(std::max<qint64>(0, n) % 100000).rightJustified(5, '0'); }

// Sorted list order: shorter IDs first, then byte order (numeric order for
// IDs of digits without leading zeros).
bool idBefore(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}
} // namespace

DataModule::DataModule() : m_schedules(size_t{kScheduleCount} * kDays, kNoTimes) {}

void DataModule::addOptions(QCommandLineParser &parser)
{
    parser.addOption({QStringLiteral("adhoc-capacity"), QStringLiteral("Entries the ad hoc list holds."),
                      QStringLiteral("N"), QStringLiteral("20000")});
    parser.addOption({QStringLiteral("main-capacity"), QStringLiteral("Entries the sorted (main) list holds."),
                      QStringLiteral("N"), QStringLiteral("60000")});
    parser.addOption({QStringLiteral("log-used"), QStringLiteral("Log entries reported as used."), QStringLiteral("N"),
                      QStringLiteral("0")});
    parser.addOption({QStringLiteral("silent-at-record"),
                      QStringLiteral("Give no reply to the Nth data record (AN, AS, SA, u, s, SR, test records)."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("wrong-at-record"), QStringLiteral("Answer the Nth data record with \"E\"."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("drop-at-record"),
                      QStringLiteral("Drop the connection instead of answering the Nth data record."),
                      QStringLiteral("N")});
}

bool DataModule::configure(const QCommandLineParser &parser, QString *error)
{
    auto number = [&](const char *name, qint64 &out, qint64 max) {
        const QString key = QString::fromLatin1(name);
        if (!parser.isSet(key) && parser.value(key).isEmpty())
            return true;
        bool ok = false;
        out = parser.value(key).toLongLong(&ok);
        if (!ok || out < 0 || out > max) {
            *error = QStringLiteral("--%1 takes a number from 0 to %2").arg(key).arg(max);
            return false;
        }
        return true;
    };
    qint64 adHoc = m_adHocCapacity;
    qint64 main = m_mainCapacity;
    qint64 logUsed = m_logUsed;
    if (!number("adhoc-capacity", adHoc, 99999) || !number("main-capacity", main, 99999)
        || !number("log-used", logUsed, m_logCapacity) || !number("silent-at-record", m_silentAt, 1LL << 40)
        || !number("wrong-at-record", m_wrongAt, 1LL << 40) || !number("drop-at-record", m_dropAt, 1LL << 40))
        return false;
    m_adHocCapacity = adHoc;
    m_mainCapacity = main;
    m_logUsed = static_cast<int>(logUsed);
    return true;
}

void DataModule::place(const Placement &placement)
{
    if (!placement.faults)
        m_silentAt = m_wrongAt = m_dropAt = 0;
    m_onChange = placement.changed;
    if (!placement.state)
        return;
    const ControllerState &state = *placement.state;
    m_clockOffset = state.clockOffset.value_or(m_clockOffset);
    if (state.adHoc) {
        m_adHoc = *state.adHoc;
        for (qsizetype i = 0; i < m_adHoc.size(); ++i)
            m_adHocIndex.insert(m_adHoc[i].id, i);
    }
    if (state.sorted) {
        m_sorted = *state.sorted;
        std::sort(m_sorted.begin(), m_sorted.end(),
                  [](const Entry &a, const Entry &b) { return idBefore(a.id, b.id); });
    }
    if (state.schedules)
        for (const QByteArray &entry : *state.schedules)
            m_schedules[static_cast<size_t>(scheduleSlot(entry))] = entry.mid(4);
}

void DataModule::snapshot(ControllerState &state) const
{
    state.clockOffset = m_clockOffset;
    state.adHoc = m_adHoc;
    state.sorted = m_sorted;
    // Entries never set read as 00:00 to 00:00; only the others are written.
    auto &schedules = state.schedules.emplace();
    for (size_t slot = 0; slot < m_schedules.size(); ++slot) {
        if (m_schedules[slot] == kNoTimes)
            continue;
        const auto number = static_cast<int>(slot / kDays) + 1;
        const auto day = static_cast<int>(slot % kDays) + 1;
        schedules.push_back(QByteArray::number(number).rightJustified(3, '0') + QByteArray::number(day)
                            + m_schedules[slot]);
    }
}

void DataModule::install(Controller &controller)
{
    controller.addDataWipe([this] {
        m_adHoc.clear();
        m_adHocIndex.clear();
        m_sorted.clear();
        m_adHocCursor = m_sortedCursor = 0;
        std::fill(m_schedules.begin(), m_schedules.end(), kNoTimes);
        if (m_onChange)
            m_onChange();
    });
    controller.addLineHandler([this, &controller](const QByteArray &line) {
        bool handled = false;
        bool silent = false;
        const QByteArray answer = handle(line, &handled, &silent);
        if (std::exchange(m_changed, false) && m_onChange)
            m_onChange();
        if (m_dropNow) {
            m_dropNow = false;
            controller.dropConnection();
            return true;
        }
        if (handled && !silent)
            controller.reply(answer);
        return handled;
    });
}

DataModule::Fault DataModule::countRecord()
{
    ++m_records;
    if (m_records == m_silentAt)
        return Fault::Silent;
    if (m_records == m_wrongAt)
        return Fault::Wrong;
    if (m_records == m_dropAt)
        return Fault::Drop;
    return Fault::None;
}

QByteArray DataModule::handle(const QByteArray &line, bool *handled, bool *silent)
{
    *handled = true;
    *silent = false;
    if (line == "z")
        return memory();
    if (line == "t")
        return clock();
    if (line == "ur") {
        m_adHocCursor = 0;
        return "OK";
    }
    if (line == "sr") {
        m_sortedCursor = 0;
        return "OK";
    }
    if (line.startsWith('+'))
        return setClock(line.mid(1));
    if (line == "SC") {
        std::fill(m_schedules.begin(), m_schedules.end(), kNoTimes);
        m_changed = true;
        return "A";
    }
    if (line.startsWith('R')) {
        const auto known = m_adHocIndex.constFind(line.mid(1));
        if (known != m_adHocIndex.constEnd() && m_adHoc[*known].schedule != "999") {
            m_adHoc[*known].schedule = "999";
            m_changed = true;
            return "D";
        }
        return "N";
    }

    // Data records: these count for the fault switches.
    const bool record = line == "u" || line == "s" || line.startsWith("AN") || line.startsWith("AS")
        || line.startsWith("SA") || line.startsWith("SR") || line.startsWith('A');
    if (!record) {
        *handled = false;
        return {};
    }
    switch (countRecord()) {
    case Fault::Silent:
        *silent = true;
        return {};
    case Fault::Wrong:
        return "E";
    case Fault::Drop:
        m_dropNow = true;
        return {};
    case Fault::None:
        break;
    }
    if (line == "u")
        return nextRecord(m_adHoc, m_adHocCursor);
    if (line == "s")
        return nextRecord(m_sorted, m_sortedCursor);
    if (line.startsWith("AN"))
        return store(m_adHoc, false, line.mid(2), m_adHocCapacity);
    if (line.startsWith("AS"))
        return store(m_sorted, true, line.mid(2), m_mainCapacity);
    if (line.startsWith("SA"))
        return storeSchedule(line.mid(2));
    if (line.startsWith("SR"))
        return readSchedule(line.mid(2));
    return "A"; // a transfer test record
}

// rest: a 3-character schedule, then the ID, with or without eight zeros
// between them (a single add sends none, a list download sends them).
QByteArray DataModule::store(Entries &list, bool keepSorted, const QByteArray &rest, qsizetype capacity)
{
    if (rest.size() < 4)
        return "E";
    Entry entry{rest.left(3), rest.mid(3)};
    if (entry.id.size() > 8 && entry.id.startsWith("00000000"))
        entry.id = entry.id.mid(8);
    const auto byId = [](const Entry &a, const Entry &b) { return idBefore(a.id, b.id); };
    if (keepSorted) {
        const auto at = std::lower_bound(list.begin(), list.end(), entry, byId);
        if (at != list.end() && at->id == entry.id) {
            at->schedule = entry.schedule;
            m_changed = true;
            return "A";
        }
        if (list.size() >= capacity)
            return "F";
        list.insert(at, entry);
        m_changed = true;
        return "A";
    }
    if (const auto known = m_adHocIndex.constFind(entry.id); known != m_adHocIndex.constEnd()) {
        list[*known].schedule = entry.schedule;
        m_changed = true;
        return "A";
    }
    if (list.size() >= capacity)
        return "F";
    m_adHocIndex.insert(entry.id, list.size());
    list.push_back(entry);
    m_changed = true;
    return "A";
}

QByteArray DataModule::nextRecord(const Entries &list, qsizetype &cursor)
{
    if (cursor >= list.size())
        return "END";
    const Entry &e = list[cursor++];
    return e.schedule + e.id;
}

QByteArray DataModule::memory() const
{
    const auto adHocUsed = static_cast<qint64>(m_adHoc.size());
    const auto mainUsed = static_cast<qint64>(m_sorted.size());
    return five(m_adHocCapacity - adHocUsed) + five(adHocUsed) + five(m_logCapacity - m_logUsed) + five(m_logUsed)
        + five(m_mainCapacity - mainUsed) + five(mainUsed);
}

QByteArray DataModule::clock() const
{
    const QDateTime now = QDateTime::currentDateTime().addSecs(m_clockOffset);
    return now.toString(QStringLiteral("yyMMddHHmmss")).toLatin1() + QByteArray::number(now.date().dayOfWeek());
}

QByteArray DataModule::setClock(const QByteArray &digits)
{
    if (digits.size() != 13 || !digitsOnly(digits))
        return "E";
    const QDate date(2000 + digits.left(2).toInt(), digits.mid(2, 2).toInt(), digits.mid(4, 2).toInt());
    const QTime time(digits.mid(6, 2).toInt(), digits.mid(8, 2).toInt(), digits.mid(10, 2).toInt());
    const int weekday = digits.at(12) - '0';
    if (!date.isValid() || !time.isValid() || weekday < 1 || weekday > 7)
        return "E";
    m_clockOffset = QDateTime::currentDateTime().secsTo(QDateTime(date, time));
    m_changed = true;
    return "O";
}

QByteArray DataModule::storeSchedule(const QByteArray &entry)
{
    const int slot = scheduleSlot(entry);
    if (slot < 0)
        return "E";
    m_schedules[static_cast<size_t>(slot)] = entry.mid(4);
    m_changed = true;
    return "A";
}

QByteArray DataModule::readSchedule(const QByteArray &number) const
{
    if (number.size() != 3 || !digitsOnly(number))
        return "E";
    const int schedule = number.toInt();
    if (schedule < 1 || schedule > kScheduleCount)
        return "E";
    QByteArray out;
    for (int day = 0; day < kDays; ++day)
        out += m_schedules[static_cast<size_t>(schedule - 1) * kDays + static_cast<size_t>(day)];
    return out;
}

} // namespace sim
