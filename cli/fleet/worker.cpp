#include "cli/fleet/worker.h"

#include "cli/commands.h"
#include "cli/interruptsignals.h"
#include "cli/options.h"
#include "cli/runcontroller.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <unistd.h>

namespace cli::fleet {

namespace {
// The waits of the runs under way, so that a signal, handled on the worker's
// own thread, can stop them all; a run that starts after it stops at once.
class Waits {
public:
    void add(wire::Waiter *waiter)
    {
        const std::scoped_lock lock(m_mutex);
        if (m_stopping)
            waiter->requestQuit();
        m_waiters.insert(waiter);
    }
    void remove(wire::Waiter *waiter)
    {
        const std::scoped_lock lock(m_mutex);
        m_waiters.erase(waiter);
    }
    void stopAll()
    {
        const std::scoped_lock lock(m_mutex);
        m_stopping = true;
        for (wire::Waiter *waiter : m_waiters)
            waiter->requestQuit();
    }

private:
    std::mutex m_mutex;
    std::set<wire::Waiter *> m_waiters;
    bool m_stopping = false;
};

// One controller's run, on the calling (its own) thread.
void runOne(const QString &name, const QStringList &arguments, Waits &waits)
{
    StdoutSinks out(true, name);
    QString error;
    const auto options = parseLinkOptions(arguments, &error);
    const Command *command = options ? findCommand(options->command) : nullptr;
    if (!options || !command) {
        out.failure(options ? QStringLiteral("unknown command %1").arg(options->command) : error);
        out.result(kExitUsage, {});
        return;
    }
    wire::EventLoopWaiter waiter;
    waits.add(&waiter);
    runController(*options, *command, out, waiter);
    waits.remove(&waiter);
}

// Everything stdin holds now; false once it has closed.
bool readInput(QByteArray &into)
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n > 0)
            into.append(buffer, n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            return n < 0 && errno == EAGAIN;
    }
}
} // namespace

int runWorker(InterruptSignals &interrupts)
{
    Waits waits;
    int running = 0;
    bool inputOpen = true;
    QEventLoop loop;
    const auto endWhenDone = [&] {
        if (!inputOpen && running == 0)
            loop.quit();
    };
    interrupts.onSignal = [&waits](int) { waits.stopAll(); };

    ::fcntl(STDIN_FILENO, F_SETFL, ::fcntl(STDIN_FILENO, F_GETFL) | O_NONBLOCK);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        inputOpen = readInput(pending);
        input.setEnabled(inputOpen);
        for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            const QJsonObject run = QJsonDocument::fromJson(pending.left(end)).object();
            pending.remove(0, end + 1);
            const QString name = run.value(QLatin1String("name")).toString();
            const QStringList arguments = run.value(QLatin1String("arguments")).toVariant().toStringList();
            QThread *thread = QThread::create([name, arguments, &waits] { runOne(name, arguments, waits); });
            ++running;
            QObject::connect(thread, &QThread::finished, &loop, [&, thread] {
                thread->deleteLater();
                --running;
                endWhenDone();
            });
            thread->start();
        }
        endWhenDone();
    });
    loop.exec();
    interrupts.onSignal = nullptr;
    return kExitOk;
}

} // namespace cli::fleet
