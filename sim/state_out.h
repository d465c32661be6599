#pragma once

#include <QByteArray>
#include <QMutex>
#include <QString>

#include <vector>

namespace sim {

// The file --state-out names, in the format --state reads: every
// controller's state, rewritten whole (a temporary file, then a rename) at
// each change, before the controller answers, and when the simulator ends.
// Controllers on every thread share it.
class StateOut {
public:
    StateOut(QString path, int controllers);

    // Controller index's line (from stateJson), kept for the next write.
    void set(int index, const QByteArray &json);
    // The same, then the file rewritten; a failure is told on stderr.
    void update(int index, const QByteArray &json);
    // Writes the file; from the first write on, updates write it too.
    bool write(QString *error);

private:
    bool writeLocked(QString *error);

    QString m_path;
    QMutex m_mutex;
    std::vector<QByteArray> m_lines;
    bool m_live = false; // every controller has its line
};

} // namespace sim
