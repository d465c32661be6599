#pragma once

#include "core/inputfile.h"

#include <QtGlobal>

class QAbstractEventDispatcher;

#include <atomic>
#include <chrono>
#include <functional>

namespace wire {

using Ms = std::chrono::milliseconds;

// The one place where the program waits. An operation keeps its plain
// "send, wait, next" shape and asks the waiter to return when a condition
// holds, a deadline passes, or the program is quitting.
class Waiter {
public:
    virtual ~Waiter() = default;

    // Monotonic time on this waiter's clock.
    virtual Ms now() const = 0;

    // Returns cond() once it holds (true), or false when the deadline (on
    // now()) passes or the program is quitting. Pending events are always
    // handled once, even when the deadline has already passed.
    virtual bool waitUntil(const std::function<bool()> &cond, Ms deadline) = 0;

    bool waitFor(const std::function<bool()> &cond, Ms timeout) { return waitUntil(cond, now() + timeout); }
    // Lets time pass with the window alive; returns early only when quitting.
    void sleep(Ms duration)
    {
        waitUntil([] { return false; }, now() + duration);
    }
    // Handles what is pending without blocking.
    void pump()
    {
        waitUntil([] { return false; }, now());
    }

    // Returns when fd has something to read or its writer has gone (true),
    // or when the program is quitting (false); a pipe's writer may take as
    // long as it likes. readWait() is the same for an input file's reader.
    bool waitReadable(int fd);
    core::ReadWait readWait()
    {
        return [this](int fd) { return waitReadable(fd); };
    }

    bool quitting() const { return m_quitting; }
    // Safe from any thread: a fleet stops a controller's run from outside it.
    void requestQuit()
    {
        m_quitting = true;
        wake();
    }

protected:
    // Ends a blocking wait early so that it sees the quitting flag.
    virtual void wake() {}

private:
    std::atomic<bool> m_quitting = false;
};

// Production waiter: runs the Qt event loop, blocking in WaitForMoreEvents with
// a wake-up timer at the deadline, so an idle wait costs no CPU.
class EventLoopWaiter final : public Waiter {
public:
    EventLoopWaiter();
    Ms now() const override;
    bool waitUntil(const std::function<bool()> &cond, Ms deadline) override;

protected:
    void wake() override;

private:
    QAbstractEventDispatcher *m_dispatcher; // of the thread that waits
};

} // namespace wire
