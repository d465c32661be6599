#pragma once

#include "core/sinks.h"
#include "link/link.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace loopback {

inline constexpr int kDefaultPasses = 2000;
// The waits after the wake-up and for each echo, on a line and on a network
// connection.
inline constexpr wire::Ms kSerialSettle{2000};
inline constexpr wire::Ms kTcpSettle{5000};
inline constexpr wire::Ms kSerialEcho{1000};
inline constexpr wire::Ms kTcpEcho{5000};

// NUL, Escape, carriage return, twice: wakes the controller's user code.
inline const QByteArray kWakeup = QByteArray("\x00\x1b\r\x00\x1b\r", 6);
inline const QByteArray kStartMarker = QByteArrayLiteral("*");

// The result list's lines.
QString startLine(wire::Pacing pacing);
QString badEchoLine(qint64 count, quint8 sent, quint8 received);
QString timeoutLine(qint64 count);
QString endLine(qint64 count);
QString progressCaption(qint64 count);

// How a test ended.
enum class Outcome { Completed, Stopped, LinkLost, Quitting, Refused };

// The link echo test: after the wake-up and "*", every byte value 0 to 255,
// one at a time, pass after pass, each echo compared with what was sent.
// Plain logic over the link and its waiter; results go to a list and a
// progress caption.
class LoopbackTest {
public:
    LoopbackTest(wire::Link &link, core::Pane &list, core::StatusLine &progress);

    // Runs the whole test; returns when the passes are done, after "Stop",
    // when the link is lost or when the program quits. Refused while another
    // operation holds the link.
    Outcome run(int passes = kDefaultPasses);
    // "Stop Loopback Test": noticed before the next character.
    void requestStop() { m_stopRequest = true; }
    bool running() const { return m_running; }

    qint64 charactersSent() const { return m_sent; }
    qint64 badEchoes() const { return m_bad; }
    qint64 timeouts() const { return m_timeouts; }
    // The three figures, as the journal and the command line's JSON keep them.
    QJsonObject figures() const;

private:
    Outcome exchange(int passes);
    void discardWaiting(wire::ByteIo &io);

    wire::Link &m_link;
    core::Pane &m_list;
    core::StatusLine &m_progress;
    bool m_stopRequest = false;
    bool m_running = false;
    qint64 m_sent = 0;
    qint64 m_bad = 0;
    qint64 m_timeouts = 0;
};

} // namespace loopback
