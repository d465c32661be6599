#include "terminal/session.h"

#include <QScopeGuard>

namespace terminal {

namespace {
// An idle loop wakes this seldom, only to look at its flags again.
constexpr wire::Ms kIdleWake{60000};
} // namespace

Session::Session(core::AppState &state, wire::Link &link, core::StatusLine &status, QObject *parent)
    : QObject(parent), m_state(state), m_link(link), m_status(status)
{}

LoopEnd Session::enter()
{
    wire::LinkClaim claim(m_link);
    if (!claim.claimed())
        return LoopEnd::Refused;
    m_grid.setPosition(1, 1);
    m_state.terminalStop = false;
    m_grid.clear();
    m_status.setStatus(m_link.terminalCaption());
    if (m_link.traits().typingAfterEntry)
        m_state.terminalTcp = true;
    const LoopEnd end = monitor();
    if (end == LoopEnd::LinkLost)
        m_status.setStatus(wire::kDisconnected);
    return end;
}

void Session::drain(wire::ByteIo &io)
{
    const QByteArray bytes = io.read(kChunk);
    if (bytes.isEmpty())
        return;
    m_log.record(Direction::Received, bytes);
    m_grid.draw(bytes, Ink::Received);
}

LoopEnd Session::monitor()
{
    m_running = true;
    // Bytes are also drawn when they arrive while a modal dialog runs its own
    // event loop above the receive loop (the save-log dialog, a message box).
    wire::ByteIo *io = &m_link.io();
    const auto arrivals = connect(io, &wire::ByteIo::readyRead, this, [this, io] {
        if (m_running && !m_state.terminalStop && io->isOpen())
            drain(*io);
    });
    const auto done = qScopeGuard([this, arrivals] {
        disconnect(arrivals);
        m_running = false;
    });
    wire::Waiter &waiter = m_link.waiter();
    for (;;) {
        if (m_state.terminalStop)
            return LoopEnd::Stopped;
        if (waiter.quitting())
            return LoopEnd::Quitting;
        if (!io->isOpen())
            return LoopEnd::LinkLost;
        if (io->bytesAvailable() > 0) {
            drain(*io);
            // Handle pending events before the next piece, without blocking.
            waiter.pump();
            continue;
        }
        waiter.waitUntil([&] { return m_state.terminalStop || !io->isOpen() || io->bytesAvailable() > 0; },
                         waiter.now() + kIdleWake);
    }
}

bool Session::keysBlocked() const
{
    // Over TCP/IP typing starts only once the terminal was entered over it.
    if (m_link.traits().typingAfterEntry && !m_state.terminalTcp)
        return true;
    // Another operation has the link: its exchange must not get our bytes.
    return m_link.busy() && !m_running;
}

void Session::act(const KeyAction &action)
{
    if (!action.byte)
        return;
    const quint8 byte = *action.byte;
    m_grid.draw(byte, Ink::Sent);
    // A closed serial port gets nothing; a failed TCP send is dropped.
    wire::ByteIo &io = m_link.io();
    if (!io.isOpen())
        return;
    if (io.write(QByteArray(1, static_cast<char>(byte))))
        m_log.record(Direction::Sent, byte);
}

bool Session::keyDown(int vk)
{
    if (keysBlocked())
        return false;
    const KeyAction a = m_keyboard.keyDown(vk);
    act(a);
    return a.consumed;
}

bool Session::character(int code)
{
    if (keysBlocked())
        return false;
    const KeyAction a = m_keyboard.character(code);
    act(a);
    return a.consumed;
}

bool Session::keyUp(int vk)
{
    if (keysBlocked())
        return false;
    const KeyAction a = m_keyboard.keyUp(vk);
    act(a);
    return a.consumed;
}

void Session::clearScreen()
{
    m_grid.clear();
    m_grid.setPosition(1, 1);
}

} // namespace terminal
