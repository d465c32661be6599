#include "link/waiter.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace wire {

EventLoopWaiter::EventLoopWaiter()
{
    m_wake.setSingleShot(true);
    m_wake.setTimerType(Qt::PreciseTimer);
}

Ms EventLoopWaiter::now() const
{
    return std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now().time_since_epoch());
}

bool EventLoopWaiter::waitUntil(const std::function<bool()> &cond, Ms deadline)
{
    for (;;) {
        // Handle whatever is already pending without blocking: a reply that
        // arrived in one piece is consumed in one pass.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (cond())
            return true;
        if (quitting())
            return false;
        const Ms left = deadline - now();
        if (left <= Ms::zero())
            return false;
        // Nothing to do: sleep in the event loop until an event or the deadline.
        m_wake.start(left);
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        m_wake.stop();
    }
}

} // namespace wire
