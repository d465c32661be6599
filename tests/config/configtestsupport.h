#pragma once

#include "config/progress.h"
#include "config/settingtable.h"
#include "tests/common/fakerig.h"
#include "tests/common/rows.h"

#include <QByteArrayList>

namespace testing {

// Two recorded panes; clear() empties both, as the screen's panes do.
struct RecordedPanes final : config::ProgressPanes {
    void clear() override
    {
        ++clears;
        left.lines.clear();
        right.lines.clear();
    }
    core::Pane &picture1() override { return left; }
    core::Pane &picture2() override { return right; }
    Recorder left;
    Recorder right;
    int clears = 0;
};

// A scripted controller on a fake stream: answers each command line after a
// millisecond, stays silent on lines with the given prefix, records every line.
struct ScriptedController {
    explicit ScriptedController(wire::fake::FakeStream &stream) : m_stream(stream)
    {
        stream.onWrite = [this](const QByteArray &bytes) {
            for (char b : bytes) {
                if (b != '\r') {
                    m_partial.append(b);
                    continue;
                }
                const QByteArray line = m_partial;
                m_partial.clear();
                if (line.isEmpty()) {
                    ++wakeups;
                    continue;
                }
                lines.append(line);
                if (onLine)
                    onLine(line);
                if (!silentPrefix.isEmpty() && line.startsWith(silentPrefix))
                    continue;
                const QByteArray reply = line == "x" ? idSize : line == "V" ? QByteArray("5200 V 02.14") : ack;
                m_stream.deliver(reply + '\r', wire::Ms{1});
            }
        };
    }
    QByteArrayList lines;
    int wakeups = 0;
    QByteArray silentPrefix;
    QByteArray ack = "OK";
    QByteArray idSize = "18";
    std::function<void(const QByteArray &)> onLine;

private:
    wire::fake::FakeStream &m_stream;
    QByteArray m_partial;
};

// Applies "name=value" settings in order through the by-name rules; stops at
// the first refusal and returns false with its error.
inline bool applySettings(config::Settings &s, const QStringList &sets, QString *error = nullptr)
{
    for (const QString &c : sets) {
        const auto eq = c.indexOf(QLatin1Char('='));
        if (!config::setSetting(s, c.left(eq), c.mid(eq + 1), error))
            return false;
    }
    return true;
}

} // namespace testing
