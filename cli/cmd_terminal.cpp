#include "cli/commands.h"

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

// Standard input in raw mode while it is a terminal, restored at the end.
class RawInput {
public:
    RawInput() : m_tty(::isatty(STDIN_FILENO) == 1)
    {
        m_raw = m_tty && ::tcgetattr(STDIN_FILENO, &m_saved) == 0;
        if (m_raw) {
            termios raw = m_saved;
            ::cfmakeraw(&raw);
            ::tcsetattr(STDIN_FILENO, TCSANOW, &raw);
        }
    }
    ~RawInput()
    {
        if (m_raw)
            ::tcsetattr(STDIN_FILENO, TCSANOW, &m_saved);
    }
    RawInput(const RawInput &) = delete;
    RawInput &operator=(const RawInput &) = delete;
    bool tty() const { return m_tty; }

private:
    bool m_tty;
    bool m_raw = false;
    termios m_saved{};
};

// Moves bytes from stdin to the link and from the link to stdout until
// Ctrl-] on a terminal, the end of the input and then linger quiet, a failed
// write to stdout, or a quit.
class Bridge {
public:
    Bridge(wire::ByteIo &io, wire::Waiter &waiter, bool tty)
        : m_io(io), m_waiter(waiter), m_tty(tty), m_lastActivity(waiter.now())
    {
        QObject::connect(&m_input, &QSocketNotifier::activated, [this] { takeInput(); });
    }

    enum class End { Done, LinkLost, OutputFailed };
    End run(wire::Ms linger);

private:
    void takeInput();
    // Whatever is ready moves on: input resumed, received bytes printed.
    void pass();
    bool canResumeInput() const
    {
        return !m_inputEnded && !m_input.isEnabled() && m_io.bytesToWrite() <= kMaxQueued / 2;
    }

    wire::ByteIo &m_io;
    wire::Waiter &m_waiter;
    bool m_tty;
    QSocketNotifier m_input{STDIN_FILENO, QSocketNotifier::Read};
    bool m_quit = false;
    bool m_inputEnded = false;
    bool m_outputFailed = false;
    wire::Ms m_lastActivity;
};

void Bridge::takeInput()
{
    char buffer[4096];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n <= 0) {
        m_inputEnded = true;
        m_input.setEnabled(false);
        m_lastActivity = m_waiter.now();
        return;
    }
    QByteArray bytes(buffer, n);
    if (m_tty) {
        const qsizetype end = bytes.indexOf(kCtrlBracket);
        if (end >= 0) {
            bytes.truncate(end);
            m_quit = true;
        }
    }
    if (!bytes.isEmpty() && m_io.isOpen())
        m_io.write(bytes);
    if (m_io.bytesToWrite() > kMaxQueued)
        m_input.setEnabled(false);
    m_lastActivity = m_waiter.now();
}

void Bridge::pass()
{
    if (canResumeInput())
        m_input.setEnabled(true);
    // Input still on its way to the line keeps the session going.
    if (m_io.bytesToWrite() > 0)
        m_lastActivity = m_waiter.now();
    if (m_io.bytesAvailable() > 0) {
        if (!writeAll(STDOUT_FILENO, m_io.read(m_io.bytesAvailable())))
            m_outputFailed = true;
        m_lastActivity = m_waiter.now();
    }
}

Bridge::End Bridge::run(wire::Ms linger)
{
    for (;;) {
        pass();
        if (m_quit || m_outputFailed || m_waiter.quitting())
            break;
        if (!m_io.isOpen())
            return End::LinkLost;
        if (m_inputEnded && m_waiter.now() >= m_lastActivity + linger)
            break;
        const wire::Ms deadline = m_inputEnded ? m_lastActivity + linger : m_waiter.now() + kIdleWake;
        // The end of the input starts the linger time: wake for it too.
        const bool endedBefore = m_inputEnded;
        m_waiter.waitUntil(
            [&] {
                return m_quit || !m_io.isOpen() || m_io.bytesAvailable() > 0 || canResumeInput()
                    || m_inputEnded != endedBefore;
            },
            deadline);
    }
    return m_outputFailed ? End::OutputFailed : End::Done;
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
    const auto defaultLinger = static_cast<int>(kDefaultLinger.count());
    const wire::Ms linger{wholeNumber(c.args, kLinger, 0, defaultLinger).value_or(defaultLinger)};
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
    const RawInput input;
    Bridge bridge(c.link.io(), c.waiter, input.tty());
    switch (bridge.run(linger)) {
    case Bridge::End::Done:
        return kExitOk;
    case Bridge::End::LinkLost:
        c.out.failure(wire::kDisconnected);
        return kExitFailure;
    case Bridge::End::OutputFailed:
        break;
    }
    return kExitFailure;
}

} // namespace cli
