#include "cli/commands.h"
#include "loopback/loopbacktest.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace cli {

namespace {
// Ctrl-C asks the test to stop, as "Stop Loopback Test" would: the end-of-test
// line still comes. The signal only writes to a pipe the event loop watches.
int g_interruptPipe[2] = {-1, -1};

void onInterrupt(int)
{
    const char b = 1;
    [[maybe_unused]] const auto n = ::write(g_interruptPipe[1], &b, 1);
}

class NoCaption final : public core::StatusLine {
public:
    void setStatus(const QString &) override {}
};
} // namespace

// loopback [--passes N]: the echo test; prints its list lines, exit 1 on any
// bad echo, time-out or lost link.
int runLoopback(Context &c)
{
    int passes = loopback::kDefaultPasses;
    for (qsizetype i = 0; i < c.args.size(); ++i) {
        if (c.args.at(i) == QLatin1String("--passes") && i + 1 < c.args.size()) {
            bool ok = false;
            passes = c.args.at(++i).toInt(&ok);
            if (!ok || passes < 1) {
                StdoutSinks::error(QStringLiteral("--passes takes a whole number from 1"));
                return kExitUsage;
            }
            continue;
        }
        StdoutSinks::error(QStringLiteral("loopback takes only --passes N"));
        return kExitUsage;
    }

    NoCaption caption;
    loopback::LoopbackTest test(c.link, c.out, caption);
    std::unique_ptr<QSocketNotifier> interrupt;
    if (::pipe2(g_interruptPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        interrupt = std::make_unique<QSocketNotifier>(g_interruptPipe[0], QSocketNotifier::Read);
        QObject::connect(interrupt.get(), &QSocketNotifier::activated, [&test] {
            char b[16];
            while (::read(g_interruptPipe[0], b, sizeof b) > 0) {
            }
            test.requestStop();
        });
        std::signal(SIGINT, onInterrupt);
    }
    const loopback::Outcome outcome = test.run(passes);
    std::signal(SIGINT, SIG_DFL);
    interrupt.reset();
    for (int &fd : g_interruptPipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    if (outcome == loopback::Outcome::Refused || outcome == loopback::Outcome::LinkLost)
        return kExitFailure;
    return test.badEchoes() + test.timeouts() > 0 ? kExitFailure : kExitOk;
}

} // namespace cli
