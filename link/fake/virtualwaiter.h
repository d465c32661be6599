#pragma once

#include "link/waiter.h"

#include <functional>
#include <map>

namespace wire::fake {

// A waiter on a virtual clock: time moves only while something waits, straight
// to the next scheduled event or the deadline. A 5-second time-out takes
// microseconds, and a scripted peer answers on the same clock.
class VirtualWaiter final : public Waiter {
public:
    Ms now() const override { return m_now; }
    bool waitUntil(const std::function<bool()> &cond, Ms deadline) override;

    // Runs fn when the clock reaches now() + delay (during a wait).
    void after(Ms delay, std::function<void()> fn);
    // Runs fn at every pass of every wait (a test's stand-in for user clicks).
    void setOnPass(std::function<void()> fn) { m_onPass = std::move(fn); }
    // Moves the clock forward, running what falls due, outside any wait.
    void advance(Ms by);

private:
    void runDue();

    Ms m_now{0};
    quint64 m_seq = 0;
    std::map<std::pair<Ms, quint64>, std::function<void()>> m_events;
    std::function<void()> m_onPass;
};

} // namespace wire::fake
