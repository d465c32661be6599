#pragma once

#include "config/settings.h"
#include "core/appstate.h"
#include "core/sinks.h"
#include "link/commsettings.h"
#include "link/link.h"
#include "link/waiter.h"
#include "utilities/utilitiessettings.h"

#include <QStringList>

#include <optional>

namespace cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoLink = 3; // the port or the connection could not be opened

// The command-line front end of the report surfaces: every status text, pane
// line and message goes to stdout, one per line, as the screen would show it.
class StdoutSinks final : public core::StatusLine,
                          public core::Pane,
                          public core::MessageBox,
                          public core::FileChooser {
public:
    void setStatus(const QString &text) override { line(text); }
    void append(const QString &text) override { line(text); }
    void message(const QString &text) override { line(text); }
    // The answer given on the command line; without one the question is asked
    // on the terminal when stdin is one, else answered No.
    bool ask(const QString &text) override;
    // Files are named on the command line: the chooser hands out the path the
    // command set, or cancels when there is none.
    std::optional<QString> openFile(const QString &, const core::FileFilter &) override { return path; }
    std::optional<QString> saveFile(const QString &, const core::FileFilter &, const QString &) override
    {
        return path;
    }

    static void line(const QString &text);
    static void error(const QString &text);

    std::optional<bool> answer;
    std::optional<QString> path;
};

// What a command gets: the connected link and the same models the screens use.
struct Context {
    core::AppState &state;
    wire::CommSettings &comm;
    wire::Link &link;
    wire::Waiter &waiter;
    config::Settings &settings;
    utilities::UtilitiesSettings &utilities;
    StdoutSinks &out;
    QStringList args; // what follows the command name
};

} // namespace cli
