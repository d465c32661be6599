#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <memory>

class QThread;

namespace terminal {

enum class Direction : quint8 { Received, Sent };

// Bytes that went one way within one millisecond.
struct LogChunk {
    qint64 msecsSinceEpoch = 0;
    Direction direction = Direction::Received;
    QByteArray bytes;
};

struct LogSnapshot {
    QList<LogChunk> chunks;
    qint64 droppedBytes = 0; // oldest bytes given up to the size limit
};

// Every byte of a terminal session in both directions, stamped to the
// millisecond, for a technician to save and study. Bounded: past the limit
// the oldest bytes go, and the saved file says how many.
class SessionLog {
public:
    static constexpr qsizetype kDefaultLimit = qsizetype{16} * 1024 * 1024;

    explicit SessionLog(std::function<qint64()> clock = {}, qsizetype limit = kDefaultLimit);

    void record(Direction direction, const QByteArray &bytes);
    void record(Direction direction, quint8 byte) { record(direction, QByteArray(1, static_cast<char>(byte))); }
    void clear();

    qsizetype bytesHeld() const { return m_held; }
    qint64 droppedBytes() const { return m_dropped; }
    // A copy that shares the bytes; cheap, and safe to hand to another thread.
    LogSnapshot snapshot() const;

    // The saved form: a header, then one line per up to 16 bytes with the
    // local time to the millisecond, RX or TX, the bytes in hexadecimal and
    // as text ('.' for what cannot be shown).
    static QByteArray format(const LogSnapshot &snapshot);

private:
    std::function<qint64()> m_clock;
    qsizetype m_limit;
    std::deque<LogChunk> m_chunks;
    qsizetype m_held = 0;
    qint64 m_dropped = 0;
};

// Writes a snapshot to a file on a thread of its own, so that a large log
// never holds up the receive loop. finished() arrives on the owner's thread.
class LogSaver : public QObject {
    Q_OBJECT
public:
    explicit LogSaver(QObject *parent = nullptr);
    ~LogSaver() override;
    // False when a save is still running.
    bool save(LogSnapshot snapshot, const QString &path);
    bool busy() const { return m_thread != nullptr; }
    // Waits for a running save to end (program end, tests).
    void waitForDone();

Q_SIGNALS:
    void finished(bool ok, const QString &detail);

private:
    QThread *m_thread = nullptr;
};

} // namespace terminal
