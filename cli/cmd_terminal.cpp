#include "cli/commands.h"

#include <QScopeGuard>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <termios.h>
#include <unistd.h>

namespace cli {

namespace {
constexpr char kCtrlBracket = 0x1d;
constexpr wire::Ms kDefaultLinger{1000};
const QString kLinger = QStringLiteral("--linger");
constexpr wire::Ms kIdleWake{60000};
// Input is read ahead of a slow line only this far; past it stdin waits.
constexpr qint64 kMaxQueued = qint64{256} * 1024;

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}
} // namespace

QString checkTerminal(const Arguments &arguments)
{
    if (!wholeNumber(arguments, kLinger, 0, 0))
        return QStringLiteral("--linger takes milliseconds");
    return {};
}

// terminal [--linger MS]: raw bytes between stdin/stdout and the link. Ctrl-]
// ends it on a terminal; at the end of piped input it goes on printing until
// the link has been quiet for the linger time (1000 ms), so a script gets its
// replies.
int runTerminal(Context &c)
{
    const wire::Ms linger{*wholeNumber(c.args, kLinger, 0, static_cast<int>(kDefaultLinger.count()))};
    if (c.out.json()) {
        c.out.failure(QStringLiteral("terminal passes raw bytes: --json does not apply"));
        return kExitUsage;
    }
    wire::LinkClaim claim(c.link);
    if (!claim.claimed())
        return kExitFailure;

    // A reader that goes away ends the session with an error, not a signal
    // that would leave the terminal in raw mode.
    std::signal(SIGPIPE, SIG_IGN);
    const bool tty = ::isatty(STDIN_FILENO) == 1;
    termios saved{};
    if (tty && ::tcgetattr(STDIN_FILENO, &saved) == 0) {
        termios raw = saved;
        ::cfmakeraw(&raw);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    }
    const auto restore = qScopeGuard([&] {
        if (tty)
            ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    });

    wire::Waiter &waiter = c.waiter;
    wire::ByteIo &io = c.link.io();
    bool quit = false;
    bool inputEnded = false;
    bool outputFailed = false;
    wire::Ms lastActivity = waiter.now();

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            return;
        if (n <= 0) {
            inputEnded = true;
            input.setEnabled(false);
            lastActivity = waiter.now();
            return;
        }
        QByteArray bytes(buffer, n);
        if (tty) {
            const qsizetype end = bytes.indexOf(kCtrlBracket);
            if (end >= 0) {
                bytes.truncate(end);
                quit = true;
            }
        }
        if (!bytes.isEmpty() && io.isOpen())
            io.write(bytes);
        if (io.bytesToWrite() > kMaxQueued)
            input.setEnabled(false);
        lastActivity = waiter.now();
    });
    auto canResumeInput = [&] { return !inputEnded && !input.isEnabled() && io.bytesToWrite() <= kMaxQueued / 2; };

    auto pass = [&] {
        if (canResumeInput())
            input.setEnabled(true);
        // Input still on its way to the line keeps the session going.
        if (io.bytesToWrite() > 0)
            lastActivity = waiter.now();
        if (io.bytesAvailable() > 0) {
            if (!writeAll(STDOUT_FILENO, io.read(io.bytesAvailable())))
                outputFailed = true;
            lastActivity = waiter.now();
        }
    };
    for (;;) {
        pass();
        if (quit || outputFailed || waiter.quitting())
            break;
        if (!io.isOpen()) {
            c.out.failure(wire::kDisconnected);
            return kExitFailure;
        }
        if (inputEnded && waiter.now() >= lastActivity + linger)
            break;
        const wire::Ms deadline = inputEnded ? lastActivity + linger : waiter.now() + kIdleWake;
        // The end of the input starts the linger time: wake for it too.
        const bool endedBefore = inputEnded;
        waiter.waitUntil(
            [&] {
                return quit || !io.isOpen() || io.bytesAvailable() > 0 || canResumeInput() || inputEnded != endedBefore;
            },
            deadline);
    }
    return outputFailed ? kExitFailure : kExitOk;
}

} // namespace cli
