#pragma once

#include "cli/arguments.h"
#include "config/settings.h"
#include "core/appstate.h"
#include "core/sinks.h"
#include "link/link.h"
#include "link/waiter.h"

#include <QJsonObject>
#include <QStringList>

#include <functional>

#include <optional>

namespace cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoLink = 3;        // the port or the connection could not be opened
inline constexpr int kExitInterrupted = 130; // as a shell reports a death by SIGINT

// The command-line front end of the report surfaces: every status text, pane
// line and message goes to stdout, one per line, as the screen would show it;
// with --json each is one JSON object a line instead (JSON Lines). Lines are
// written whole, so the runs of a fleet worker's threads can share stdout.
class StdoutSinks final : public core::StatusLine, public core::Pane, public core::MessageBox {
public:
    // A name tags every JSON object with the controller's name (in a fleet).
    explicit StdoutSinks(bool json = false, QString name = {}) : m_json(json), m_name(std::move(name)) {}
    void setStatus(const QString &text) override
    {
        m_said = text;
        event("status", text);
    }
    void append(const QString &text) override { line(text); }
    void message(const QString &text) override
    {
        m_said = text;
        event("message", text);
    }
    // The answer given on the command line; without one the question is asked
    // on the terminal when stdin is one (never with --json), else answered No.
    bool ask(const QString &text) override;

    // A line of the command's own output.
    void line(const QString &text)
    {
        m_lastLine = text;
        event("line", text);
    }
    // How far a long transfer has come; JSON only (a terminal gets its own
    // one-line display on stderr).
    void progress(qint64 percent, const QString &timeLeft);
    // The last object of a JSON run: the exit status, the typed results and,
    // when it failed, what ended it.
    void result(int exitCode, const QJsonObject &results);
    // What ended a run: the last status text, message or failure, or else
    // the last line (a programming run's error code stands in its pane).
    QString endText() const { return m_said.isEmpty() ? m_lastLine : m_said; }
    bool json() const { return m_json; }

    // What stopped the run (a usage error, a link that did not open): on
    // stderr, or as an "error" event with --json.
    void failure(const QString &text);
    static void error(const QString &text);
    // A line of a run over a site: text (control characters escaped) or one
    // JSON object.
    static void textLine(const QString &text);
    static void jsonLine(const QJsonObject &object);

    std::optional<bool> answer;

private:
    void event(const char *kind, const QString &text);
    void print(QJsonObject object);

    bool m_json;
    QString m_name;
    QString m_said;
    QString m_lastLine;
};

// What a command gets: the connected link and the same models the screens use.
struct Context {
    core::AppState &state;
    wire::Link &link;
    wire::Waiter &waiter;
    config::Settings &settings;
    StdoutSinks &out;
    Arguments args; // what follows the command name, parsed
    // What the command learned, for the final JSON object ("version", "time" …).
    QJsonObject results = {};
    // Adds to what the command learned (a command may run several steps).
    void learn(const QJsonObject &found)
    {
        for (auto it = found.begin(); it != found.end(); ++it)
            results.insert(it.key(), it.value());
    }
    // What Ctrl-C does for a command that has a Stop of its own; without
    // one, Ctrl-C ends the run as a quit would. (gcc's -Wextra asks for the
    // "= {}" where a Context is built without a stop.)
    std::function<void()> stop = {}; // NOLINT(readability-redundant-member-init)
};

} // namespace cli
