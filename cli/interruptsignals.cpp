#include "cli/interruptsignals.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace cli {

namespace {
// The handler can reach only what is global; the pipe is the process's one.
int g_pipe[2] = {-1, -1};

void writeSignal(int signal)
{
    const auto b = static_cast<char>(signal);
    [[maybe_unused]] const auto n = ::write(g_pipe[1], &b, 1);
}

void handle(int signal, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}
} // namespace

InterruptSignals::InterruptSignals()
{
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] {
        char b = 0;
        while (::read(g_pipe[0], &b, 1) == 1)
            if (onSignal)
                onSignal(b);
    });
    handle(SIGINT, &writeSignal);
    handle(SIGTERM, &writeSignal);
}

InterruptSignals::~InterruptSignals()
{
    handle(SIGINT, SIG_DFL);
    handle(SIGTERM, SIG_DFL);
    m_notifier.reset();
    for (int &fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

} // namespace cli
