#include "link/waiter.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <optional>

namespace wire {

bool Waiter::waitReadable(int fd)
{
    // Each wait needs a deadline; this one has none of its own.
    constexpr Ms kSlice{3'600'000};
    QSocketNotifier notifier(fd, QSocketNotifier::Read);
    bool ready = false;
    QObject::connect(&notifier, &QSocketNotifier::activated, [&ready, &notifier] {
        ready = true;
        notifier.setEnabled(false);
    });
    while (!waitUntil([&ready] { return ready; }, now() + kSlice))
        if (quitting())
            return false;
    return true;
}

EventLoopWaiter::EventLoopWaiter() : m_dispatcher(QAbstractEventDispatcher::instance()) {}

void EventLoopWaiter::wake()
{
    if (m_dispatcher)
        m_dispatcher->wakeUp();
}

Ms EventLoopWaiter::now() const
{
    return std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now().time_since_epoch());
}

bool EventLoopWaiter::waitUntil(const std::function<bool()> &cond, Ms deadline)
{
    // The wake-up timer is armed once per wait, at the deadline, and only
    // when the wait has to block. Each wait has its own, so a wait nested in
    // an event handler never disarms the one it runs inside.
    std::optional<QTimer> wake;
    // Handle whatever is already pending without blocking: a reply that
    // arrived in one piece is consumed in one pass.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    for (;;) {
        if (cond())
            return true;
        if (quitting())
            return false;
        const Ms left = deadline - now();
        if (left <= Ms::zero())
            return false;
        if (!wake) {
            wake.emplace();
            wake->setSingleShot(true);
            wake->setTimerType(Qt::PreciseTimer);
            wake->start(left);
        }
        // Nothing to do: sleep in the event loop until an event or the
        // deadline; the events that woke it are handled before it returns.
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

} // namespace wire
