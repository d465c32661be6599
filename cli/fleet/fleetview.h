#pragma once

#include "cli/fleet/unit.h"

#include <QJsonObject>

#include <vector>

namespace cli::fleet {

// What the fleet shows while it runs: on a terminal a live view (one line per
// running controller and a summary line), else one line per event prefixed
// with the controller's name, or with --json the events as JSON Lines, each
// with the controller's name.
class FleetView {
public:
    enum class Mode { Live, Lines, Json };
    FleetView(Mode mode, const std::vector<Unit> &units);

    // An attempt starts (the controller is being connected).
    void attemptStarted(const Unit &unit);
    // An event of a controller's run ("status", "line", "progress" …).
    void event(const Unit &unit, QJsonObject event);
    // An attempt ended; the unit holds its outcome.
    void attemptEnded(const Unit &unit, bool retrying);
    // Redraws the live view when something changed since the last time.
    void refresh();
    // The run ended with exitCode; runId is its id in the journal.
    void finished(int exitCode, const QString &runId);

private:
    void print(const QString &text);
    void erase();

    Mode m_mode;
    const std::vector<Unit> &m_units;
    int m_drawn = 0; // lines of the live view on the screen
    bool m_dirty = false;
};

// An event as a line of text, as tarnic-cli without --json prints it.
QString eventText(const QJsonObject &event);

} // namespace cli::fleet
