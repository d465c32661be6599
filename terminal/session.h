#pragma once

#include "core/appstate.h"
#include "core/sinks.h"
#include "link/link.h"
#include "terminal/grid.h"
#include "terminal/keyboard.h"
#include "terminal/sessionlog.h"

#include <QObject>

namespace terminal {

// How a receive loop ended.
enum class LoopEnd { Stopped, LinkLost, Quitting, Refused };

// The terminal without its widgets: the entry steps, the receive loop
// `monitor`, the keyboard rules and the session log, over the link. The view
// paints the grid and feeds key events; the command-line companion and the
// tests drive it directly.
class Session : public QObject {
    Q_OBJECT
public:
    // Received bytes drawn per pass: a flood is drawn in pieces with events
    // handled in between, so the window keeps up and stays responsive.
    static constexpr qint64 kChunk = 4096;

    Session(core::AppState &state, wire::Link &link, core::StatusLine &status, QObject *parent = nullptr);

    Grid &grid() { return m_grid; }
    const Grid &grid() const { return m_grid; }
    Keyboard &keyboard() { return m_keyboard; }
    SessionLog &log() { return m_log; }

    // The entry steps (cleared display, status text, and where typing waits
    // for the entry, the terminal TCP flag), then the receive loop. The link
    // is claimed for the whole loop.
    LoopEnd enter();
    // Draws what arrives, in red, until the terminal stop flag is set, the
    // link is lost or the program quits. Waits through the link's waiter, so
    // an idle terminal costs nothing.
    LoopEnd monitor();
    bool running() const { return m_running; }

    // Key handlers; true when the key is used up. Each draws and sends the
    // byte its rule produces.
    bool keyDown(int vk);
    bool character(int code);
    bool keyUp(int vk);

    // "Clear Screen": empty display, back to row 1, column 1.
    void clearScreen();

private:
    bool keysBlocked() const;
    void act(const KeyAction &action);
    void drain(wire::ByteIo &io);

    core::AppState &m_state;
    wire::Link &m_link;
    core::StatusLine &m_status;
    Grid m_grid;
    Keyboard m_keyboard;
    SessionLog m_log;
    bool m_running = false;
};

} // namespace terminal
