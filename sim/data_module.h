#pragma once

#include "sim/module.h"

#include <QByteArray>
#include <QHash>

#include <functional>
#include <vector>

namespace sim {

// The controller's stand-alone data: the ad hoc and sorted access lists (with
// schedules and deleted entries), 200 schedules of eight day entries, the
// clock, and the memory figures that follow the lists. Both transports share
// one store.
class DataModule final : public Module {
public:
    DataModule();
    void addOptions(QCommandLineParser &parser) override;
    bool configure(const QCommandLineParser &parser, QString *error) override;
    void place(const Placement &placement) override;
    void install(Controller &controller) override;
    void snapshot(ControllerState &state) const override;

private:
    // The reply, or nothing for silence; lines this module does not know
    // give handled == false.
    QByteArray handle(const QByteArray &line, bool *handled, bool *silent);
    QByteArray store(Entries &list, bool keepSorted, const QByteArray &rest, qsizetype capacity);
    QByteArray nextRecord(const Entries &list, qsizetype &cursor);
    QByteArray memory() const;
    QByteArray clock() const;
    QByteArray setClock(const QByteArray &digits);
    QByteArray storeSchedule(const QByteArray &entry);
    QByteArray readSchedule(const QByteArray &number) const;
    // Counts a data record and says whether a fault switch hits it.
    enum class Fault { None, Silent, Wrong, Drop };
    Fault countRecord();

    Entries m_adHoc;
    Entries m_sorted;
    QHash<QByteArray, qsizetype> m_adHocIndex; // ID -> place in the ad hoc list
    qsizetype m_adHocCursor = 0;
    qsizetype m_sortedCursor = 0;
    std::vector<QByteArray> m_schedules; // 200 x 8 entries of "HHMMhhmm"
    qint64 m_clockOffset = 0;            // seconds ahead of the host clock
    qsizetype m_adHocCapacity = 20000;
    qsizetype m_mainCapacity = 60000;
    int m_logCapacity = 10000;
    int m_logUsed = 0;
    qint64 m_records = 0;
    qint64 m_silentAt = 0;
    qint64 m_wrongAt = 0;
    qint64 m_dropAt = 0;
    bool m_dropNow = false; // the record just counted drops the connection
    bool m_changed = false; // by the line being handled
    std::function<void()> m_onChange;
};

} // namespace sim
