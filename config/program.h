#pragma once

#include "config/progress.h"
#include "config/settings.h"
#include "core/appstate.h"
#include "core/sinks.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace wire {
class Link;
}

namespace config {

// What a programming run or a reset needs: the link (expected open), the
// settings as the screens hold them (a run checks a copy taken at its start
// and programs that copy; a reset reads none), the two panes and the Yes/No
// question box.
struct ProgramContext {
    ProgramContext(core::AppState &state, wire::Link &link, const Settings &settings, ProgressPanes &panes,
                   core::MessageBox &box)
        : state(state), link(link), settings(settings), panes(panes), box(box)
    {}

    core::AppState &state;
    wire::Link &link;
    const Settings &settings;
    ProgressPanes &panes;
    core::MessageBox &box;

    // What the run learned, for its record: the settings it programmed (once
    // the check approved them), the controller's version reply, each
    // configuration command sent with its reply (none where it timed out),
    // and the line that ended a run short.
    struct SentLine {
        QString command;
        std::optional<QString> reply;
    };
    std::optional<Settings> programmed;
    QByteArray versionReply;
    QList<SentLine> sent;
    QString stopped;
};

enum class RunOutcome {
    Complete,       // "Programming Complete" written
    Busy,           // another operation holds the link; nothing done
    CheckFailed,    // the parameter check stopped it
    SendFailed,     // the wake-up could not be sent
    NoIdReply,      // "Error 000A"
    Declined,       // the operator answered No to the ID-size question
    NoVersionReply, // "Error 000"
    NoReply,        // a command got no reply: its error text was written
    Quit,           // the program is closing
};

enum class ResetOutcome { Sent, Busy, SendFailed };

inline const QString kIdSizeQuestion = QStringLiteral(
    "ID size specified does not match id size in the controller - this will result in clearing all controller "
    "data - Continue Y/N");

RunOutcome do_program(ProgramContext &c);
ResetOutcome do_reset(ProgramContext &c);

// What a run's record keeps of it: the hash of the settings it programmed
// and the lines it sent with their replies, once the check approved them.
QJsonObject runResults(const ProgramContext &run);

// The number at the start of a reply or a field: blanks, tabs and line feeds
// are skipped wherever they stand, reading stops at the first character that
// cannot continue the number, no number gives 0; a fraction rounds to even.
// No value when the number lies outside the 16-bit signed range.
std::optional<qint16> leadingNumber16(const QByteArray &text);

} // namespace config
