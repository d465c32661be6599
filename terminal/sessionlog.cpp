#include "terminal/sessionlog.h"

#include "core/safewrite.h"

#include <QDateTime>
#include <QThread>

namespace terminal {

namespace {
constexpr qsizetype kBytesPerLine = 16;

qint64 wallClock() { return QDateTime::currentMSecsSinceEpoch(); }
} // namespace

SessionLog::SessionLog(std::function<qint64()> clock, qsizetype limit)
    : m_clock(clock ? std::move(clock) : std::function<qint64()>(wallClock)), m_limit(limit > 0 ? limit : 1)
{}

void SessionLog::record(Direction direction, const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    const qint64 t = m_clock();
    if (!m_chunks.empty() && m_chunks.back().direction == direction && m_chunks.back().msecsSinceEpoch == t) {
        m_chunks.back().bytes.append(bytes);
    } else {
        // The finished chunk gives back what its growth reserved: a long
        // session holds its bytes, not twice as many.
        if (!m_chunks.empty())
            m_chunks.back().bytes.squeeze();
        m_chunks.push_back(LogChunk{t, direction, bytes});
    }
    m_held += bytes.size();
    while (m_held > m_limit && !m_chunks.empty()) {
        LogChunk &front = m_chunks.front();
        const qsizetype excess = m_held - m_limit;
        if (front.bytes.size() <= excess) {
            m_held -= front.bytes.size();
            m_dropped += front.bytes.size();
            m_chunks.pop_front();
        } else {
            front.bytes.remove(0, excess);
            m_held -= excess;
            m_dropped += excess;
        }
    }
}

void SessionLog::clear()
{
    m_chunks.clear();
    m_held = 0;
    m_dropped = 0;
}

LogSnapshot SessionLog::snapshot() const
{
    LogSnapshot s;
    s.chunks.reserve(static_cast<qsizetype>(m_chunks.size()));
    for (const LogChunk &c : m_chunks)
        s.chunks.append(c);
    s.droppedBytes = m_dropped;
    return s;
}

QByteArray SessionLog::format(const LogSnapshot &snapshot)
{
    QByteArray out;
    out += "# Terminal session log: RX received from the controller, TX sent to it\n";
    if (snapshot.droppedBytes > 0)
        out += "# " + QByteArray::number(snapshot.droppedBytes) + " earlier bytes were dropped (log size limit)\n";
    for (const LogChunk &c : snapshot.chunks) {
        const QByteArray stamp = QDateTime::fromMSecsSinceEpoch(c.msecsSinceEpoch)
                                     .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))
                                     .toLatin1();
        const char *dir = c.direction == Direction::Received ? " RX " : " TX ";
        for (qsizetype at = 0; at < c.bytes.size(); at += kBytesPerLine) {
            const QByteArray part = c.bytes.mid(at, kBytesPerLine);
            QByteArray hex = part.toHex(' ').toUpper();
            hex = hex.leftJustified(kBytesPerLine * 3 - 1, ' ');
            QByteArray text = part;
            for (char &ch : text)
                if (static_cast<quint8>(ch) < 32 || static_cast<quint8>(ch) > 126)
                    ch = '.';
            out += stamp + dir + hex + "  |" + text + "|\n";
        }
    }
    return out;
}

LogSaver::LogSaver(QObject *parent) : QObject(parent) {}

LogSaver::~LogSaver()
{
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

bool LogSaver::save(LogSnapshot snapshot, const QString &path)
{
    if (m_thread)
        return false;
    auto result = std::make_shared<std::pair<bool, QString>>(false, QString());
    m_thread = QThread::create([snapshot = std::move(snapshot), path, result] {
        // A failed save leaves no half-written file, and an old one whole.
        if (const auto error = core::writeWholeFile(path, SessionLog::format(snapshot)))
            *result = {false, *error};
        else
            *result = {true, path};
    });
    connect(m_thread, &QThread::finished, this, [this, result] {
        m_thread->deleteLater();
        m_thread = nullptr;
        Q_EMIT finished(result->first, result->second);
    });
    m_thread->start();
    return true;
}

void LogSaver::waitForDone()
{
    if (m_thread)
        m_thread->wait();
}

} // namespace terminal
