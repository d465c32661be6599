#include "cli/fleet/fleetview.h"

#include "core/controltext.h"

#include <QJsonDocument>

#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace cli::fleet {

namespace {
constexpr int kMaxLiveLines = 40;

void writeOut(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

int terminalWidth()
{
    winsize size{};
    return ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
}

QString outcomeText(const Unit &unit, bool retrying)
{
    QString text = stateName(unit.state);
    if (unit.state == State::Failed)
        text += QStringLiteral(" (exit %1)").arg(unit.exitCode);
    if (!unit.status.isEmpty() && unit.state != State::Ok)
        text += QStringLiteral(": ") + unit.status;
    if (retrying)
        text += QStringLiteral(", retrying");
    return text;
}
} // namespace

QString stateName(State state)
{
    switch (state) {
    case State::Waiting:
        return QStringLiteral("waiting");
    case State::Running:
        return QStringLiteral("running");
    case State::Ok:
        return QStringLiteral("ok");
    case State::Failed:
        return QStringLiteral("failed");
    case State::Crashed:
        return QStringLiteral("crashed");
    case State::Interrupted:
        return QStringLiteral("interrupted");
    }
    return {};
}

QString eventText(const QJsonObject &event)
{
    const QString kind = event.value(QLatin1String("event")).toString();
    if (kind == QLatin1String("progress"))
        return QStringLiteral("%1 %  %2")
            .arg(event.value(QLatin1String("percent")).toInteger())
            .arg(event.value(QLatin1String("time_left")).toString());
    if (kind == QLatin1String("question"))
        return event.value(QLatin1String("text")).toString() + QLatin1Char(' ')
            + event.value(QLatin1String("answer")).toString();
    return event.value(QLatin1String("text")).toString();
}

FleetView::FleetView(Mode mode, const std::vector<Unit> &units) : m_mode(mode), m_units(units) {}

// Replies keep their control characters escaped: a line feed in one must
// not print a line (such as "d2: ok") of its own.
void FleetView::print(const QString &text) { writeOut(core::escapeControlCharacters(text.toLocal8Bit()) + '\n'); }

void FleetView::event(const Unit &unit, QJsonObject event)
{
    switch (m_mode) {
    case Mode::Live:
        m_dirty = true;
        break;
    case Mode::Lines:
        print(unit.controller.name + QStringLiteral(": ") + eventText(event));
        break;
    case Mode::Json:
        event.insert(QStringLiteral("name"), unit.controller.name);
        event.insert(QStringLiteral("attempt"), unit.attempts);
        writeOut(QJsonDocument(event).toJson(QJsonDocument::Compact) + '\n');
        break;
    }
}

void FleetView::attemptStarted(const Unit &unit)
{
    if (m_mode == Mode::Json)
        event(unit, {{QStringLiteral("event"), QStringLiteral("attempt")}});
    else
        m_dirty = true;
}

void FleetView::attemptEnded(const Unit &unit, bool retrying)
{
    if (m_mode == Mode::Json) {
        const QJsonObject result{{QStringLiteral("event"), QStringLiteral("result")},
                                 {QStringLiteral("name"), unit.controller.name},
                                 {QStringLiteral("attempt"), unit.attempts},
                                 {QStringLiteral("ok"), unit.state == State::Ok},
                                 {QStringLiteral("exit"), unit.exitCode},
                                 {QStringLiteral("state"), stateName(unit.state)},
                                 {QStringLiteral("retrying"), retrying},
                                 {QStringLiteral("results"), unit.results}};
        writeOut(QJsonDocument(result).toJson(QJsonDocument::Compact) + '\n');
        return;
    }
    erase();
    print(unit.controller.name + QStringLiteral(": ") + outcomeText(unit, retrying));
    m_dirty = true;
}

void FleetView::erase()
{
    // Up to the first line of the view, then clear to the end of the screen.
    if (m_mode == Mode::Live && m_drawn > 0)
        writeOut(QStringLiteral("\x1b[%1F\x1b[J").arg(m_drawn).toLatin1());
    m_drawn = 0;
}

void FleetView::refresh()
{
    if (m_mode != Mode::Live || !m_dirty)
        return;
    m_dirty = false;
    erase();
    const int width = terminalWidth() - 1;
    int counts[6] = {};
    QString text;
    int lines = 0;
    for (const Unit &u : m_units) {
        ++counts[static_cast<int>(u.state)];
        if (u.state != State::Running || lines >= kMaxLiveLines)
            continue;
        const QString status = QString::fromLocal8Bit(core::escapeControlCharacters(u.status.toLocal8Bit()));
        QString line = u.controller.name.leftJustified(16) + QLatin1Char(' ') + status.leftJustified(32);
        if (u.percent >= 0)
            line += QStringLiteral(" %1 %  %2").arg(u.percent, 3).arg(u.timeLeft);
        text += line.left(width) + QLatin1Char('\n');
        ++lines;
    }
    const auto count = [&counts](State s) { return counts[static_cast<int>(s)]; };
    text += QStringLiteral("done %1  failed %2  running %3  waiting %4")
                .arg(count(State::Ok))
                .arg(count(State::Failed) + count(State::Crashed) + count(State::Interrupted))
                .arg(count(State::Running))
                .arg(count(State::Waiting))
                .left(width)
        + QLatin1Char('\n');
    writeOut(text.toLocal8Bit());
    m_drawn = lines + 1;
}

void FleetView::finished(int exitCode, const QString &runId)
{
    if (m_mode == Mode::Live) {
        m_dirty = true;
        refresh();
    }
    int ok = 0;
    for (const Unit &u : m_units)
        ok += u.state == State::Ok ? 1 : 0;
    const auto total = static_cast<int>(m_units.size());
    if (m_mode == Mode::Json) {
        const QJsonObject result{{QStringLiteral("event"), QStringLiteral("result")},
                                 {QStringLiteral("ok"), exitCode == 0},
                                 {QStringLiteral("exit"), exitCode},
                                 {QStringLiteral("done"), ok},
                                 {QStringLiteral("failed"), total - ok},
                                 {QStringLiteral("run"), runId}};
        writeOut(QJsonDocument(result).toJson(QJsonDocument::Compact) + '\n');
    } else if (m_mode == Mode::Lines) {
        print(QStringLiteral("%1 of %2 controllers done, %3 failed").arg(ok).arg(total).arg(total - ok));
    }
}

} // namespace cli::fleet
