#pragma once

#include <QSocketNotifier>

#include <functional>
#include <memory>

namespace cli {

// SIGINT and SIGTERM, delivered on the event loop of the thread that made
// this: the handler itself only writes the signal number to a pipe that a
// socket notifier watches, so no Qt call runs inside it. One per process.
class InterruptSignals {
public:
    InterruptSignals();
    ~InterruptSignals();
    InterruptSignals(const InterruptSignals &) = delete;
    InterruptSignals &operator=(const InterruptSignals &) = delete;

    std::function<void(int signal)> onSignal;

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace cli
