#include "cli/fleet/fleetrun.h"

#include "cli/context.h"
#include "cli/fleet/commandline.h"
#include "cli/fleet/fleetoptions.h"
#include "cli/fleet/fleetview.h"
#include "cli/fleet/workers.h"
#include "cli/interruptsignals.h"
#include "cli/options.h"
#include "cli/recording.h"
#include "core/controltext.h"
#include "core/safewrite.h"
#include "link/waiter.h"

#include <QDir>
#include <QEventLoop>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QTimer>
#include <QUuid>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

namespace cli::fleet {

namespace {
// What the runner holds open per worker: the pipes for its stdin, stdout and
// stderr and the process descriptor, with room to spare. A worker holds
// about three per run (its link, its thread's wake-up descriptor and one
// spare), well inside the usual limit.
constexpr rlim_t kFilesPerWorker = 4;
constexpr rlim_t kFilesSpare = 64;
constexpr int kRefreshMs = 100;

// A large fleet may need more descriptors than the usual soft limit: raise it
// to the hard limit, and say so when even that is too few.
QString raiseFileLimit(int parallel)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return {};
    const auto workers = static_cast<rlim_t>((parallel + Workers::kRunsPerWorker - 1) / Workers::kRunsPerWorker);
    const rlim_t needed = kFilesPerWorker * workers + kFilesSpare;
    if (limit.rlim_cur < needed && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < needed)
        return QStringLiteral("--parallel %1 needs about %2 open files, but this process may open only %3: "
                              "lower --parallel or raise the hard limit (ulimit -Hn)")
            .arg(parallel)
            .arg(needed)
            .arg(limit.rlim_max);
    return {};
}

QString isoTime(const QDateTime &t) { return t.isValid() ? t.toUTC().toString(Qt::ISODateWithMs) : QString(); }

QString logPath(const FleetOptions &options, const Unit &unit)
{
    return QDir(options.logDir).filePath(unit.controller.name + QStringLiteral(".log"));
}

class FleetRun {
public:
    FleetRun(const FleetOptions &options, std::vector<Unit> units, FleetView::Mode mode, journal::Journal *journal)
        : m_options(options), m_units(std::move(units)), m_view(mode, m_units), m_journal(journal)
    {
        m_refresh.setInterval(kRefreshMs);
        QObject::connect(&m_refresh, &QTimer::timeout, [this] { m_view.refresh(); });
        for (std::size_t i = 0; i < m_units.size(); ++i)
            m_byName.insert(m_units[i].controller.name, i);
        m_workers.onEvent = [this](const QString &name, const QJsonObject &event) {
            handle(m_byName.value(name), event);
        };
        m_workers.onLost = [this](const QString &name) { ended(m_byName.value(name), -1, true); };
        m_workers.onError = [](const QString &text) { StdoutSinks::error(text); };
    }

    int run(InterruptSignals &interrupts)
    {
        interrupts.onSignal = [this](int signal) { interrupt(signal); };
        m_refresh.start();
        startMore();
        if (!allEnded())
            m_loop.exec();
        interrupts.onSignal = nullptr;
        m_refresh.stop();
        m_workers.finish();
        int rc = kExitOk;
        for (const Unit &u : m_units)
            if (u.state != State::Ok)
                rc = kExitFailure;
        if (m_interrupts > 0)
            rc = kExitInterrupted;
        for (Unit &u : m_units)
            if (u.state == State::Waiting)
                u.state = State::Interrupted;
        m_view.finished(rc);
        if (!m_options.report.isEmpty()) {
            if (const auto error = writeReport(rc)) {
                StdoutSinks::error(QStringLiteral("cannot write the report %1").arg(*error));
                rc = rc == kExitOk ? kExitFailure : rc;
            }
        }
        return rc;
    }

private:
    struct Running {
        std::unique_ptr<core::StreamFile> log;
        QString logError; // the first write that failed; the attempt fails with it
        std::optional<journal::Operation> record;
        QString ending; // what ended it, from its result
    };

    bool allEnded() const
    {
        return m_running.empty()
            && (m_interrupts > 0 || std::none_of(m_units.begin(), m_units.end(), [](const Unit &u) {
                    return u.state == State::Waiting;
                }));
    }

    // Ctrl-C once: start no new controller; twice (or SIGTERM): stop the
    // running ones at once.
    void interrupt(int signal)
    {
        ++m_interrupts;
        m_stopping = m_stopping || m_interrupts > 1 || signal == SIGTERM;
        if (m_stopping)
            m_workers.stop();
        if (allEnded())
            m_loop.quit();
    }

    void startMore()
    {
        for (std::size_t i = 0; i < m_units.size() && m_interrupts == 0; ++i) {
            if (static_cast<int>(m_running.size()) >= m_options.parallel)
                break;
            Unit &u = m_units[i];
            // A link carries one controller's run at a time.
            if (u.state != State::Waiting || linkBusy(u))
                continue;
            start(i);
        }
    }

    bool linkBusy(const Unit &u) const
    {
        return std::any_of(u.linkKeys.begin(), u.linkKeys.end(),
                           [this](const QString &key) { return m_busyLinks.contains(key); });
    }

    void start(std::size_t index)
    {
        Unit &u = m_units[index];
        u.state = State::Running;
        ++u.attempts;
        if (!u.started.isValid())
            u.started = QDateTime::currentDateTime();
        u.percent = -1;
        u.results = {};
        for (const QString &key : u.linkKeys)
            m_busyLinks.insert(key);
        openLog(u, m_running[index]);
        // Recorded before it is shown: whoever sees the attempt finds its record.
        beginRecord(u, m_running[index]);
        m_view.attemptStarted(u);
        m_workers.start(u.controller.name, u.arguments);
    }

    void openLog(const Unit &u, Running &r)
    {
        if (m_options.logDir.isEmpty())
            return;
        r.log = std::make_unique<core::StreamFile>();
        // The first attempt starts the file afresh; a retry adds to it.
        r.log->open(logPath(m_options, u), u.attempts > 1);
        log(r, QStringLiteral("attempt %1: %2").arg(u.attempts).arg(u.arguments.join(QLatin1Char(' '))));
    }

    // A log stops at its first failed write, and says so once.
    static void log(Running &r, const QString &line)
    {
        if (!r.log || !r.logError.isEmpty())
            return;
        if (r.log->failed() || !r.log->write(core::escapeControlCharacters(line.toLocal8Bit()) + '\n')) {
            r.logError = QStringLiteral("cannot write the log %1").arg(r.log->error());
            StdoutSinks::error(r.logError);
        }
    }

    void beginRecord(const Unit &u, Running &r)
    {
        QString error;
        const auto options = parseLinkOptions(u.arguments, &error);
        if (!m_journal || !options)
            return;
        journal::Begin begin = describeRun(*options);
        begin.controller = u.controller.name;
        begin.run = m_runId;
        begin.attempt = u.attempts;
        r.record.emplace(m_journal, begin, &warnJournal);
    }

    // One event of a controller's run; its result ends the attempt.
    void handle(std::size_t index, const QJsonObject &event)
    {
        Unit &u = m_units[index];
        const QString kind = event.value(QLatin1String("event")).toString();
        if (kind == QLatin1String("result")) {
            u.results = event.value(QLatin1String("results")).toObject();
            m_running.at(index).ending = event.value(QLatin1String("message")).toString();
            ended(index, event.value(QLatin1String("exit")).toInt(), false);
            return;
        }
        if (kind == QLatin1String("progress")) {
            u.percent = event.value(QLatin1String("percent")).toInteger();
            u.timeLeft = event.value(QLatin1String("time_left")).toString();
        } else if (kind != QLatin1String("line") && kind != QLatin1String("question")) {
            u.status = event.value(QLatin1String("text")).toString();
        }
        if (kind != QLatin1String("progress"))
            log(m_running.at(index), eventText(event));
        m_view.event(u, event);
    }

    // An attempt's end: its exit status, or lost with the worker it ran in.
    void ended(std::size_t index, int code, bool lost)
    {
        Unit &u = m_units[index];
        Running &r = m_running.at(index);
        u.exitCode = lost ? -1 : code;
        u.ended = QDateTime::currentDateTime();
        if (lost)
            u.state = m_stopping ? State::Interrupted : State::Crashed;
        else if (code == kExitOk)
            u.state = State::Ok;
        else
            u.state = code == kExitInterrupted ? State::Interrupted : State::Failed;
        log(r, stateName(u.state));
        // What the log lost counts against the run: its record is incomplete.
        if (!r.logError.isEmpty() && u.state == State::Ok) {
            u.state = State::Failed;
            u.exitCode = kExitFailure;
            u.status = r.logError;
        }
        // A usage error would only repeat.
        const bool retry = m_interrupts == 0 && u.attempts <= m_options.retries && r.logError.isEmpty()
            && (u.state == State::Crashed || (u.state == State::Failed && code != kExitUsage));
        if (r.record) {
            const journal::Outcome outcome = !lost ? outcomeOf(code)
                : m_stopping                       ? journal::Outcome::Interrupted
                                                   : journal::Outcome::Failed;
            r.record->end({outcome, u.exitCode, lost ? stateName(u.state) : r.ending, u.results});
        }
        m_view.attemptEnded(u, retry);
        if (retry)
            u.state = State::Waiting;
        for (const QString &key : u.linkKeys)
            m_busyLinks.remove(key);
        m_running.erase(index);
        startMore();
        if (allEnded())
            m_loop.quit();
    }

    // Nothing, or why the report was not written.
    std::optional<QString> writeReport(int rc) const
    {
        QJsonArray controllers;
        for (const Unit &u : m_units)
            controllers.append(QJsonObject{{QStringLiteral("name"), u.controller.name},
                                           {QStringLiteral("link"), u.controller.link},
                                           {QStringLiteral("ok"), u.state == State::Ok},
                                           {QStringLiteral("state"), stateName(u.state)},
                                           {QStringLiteral("exit"), u.exitCode},
                                           {QStringLiteral("attempts"), u.attempts},
                                           {QStringLiteral("start"), isoTime(u.started)},
                                           {QStringLiteral("end"), isoTime(u.ended)},
                                           {QStringLiteral("status"), u.status},
                                           {QStringLiteral("results"), u.results}});
        const QJsonObject report{{QStringLiteral("command"), QJsonArray::fromStringList(m_options.command)},
                                 {QStringLiteral("run"), m_runId},
                                 {QStringLiteral("exit"), rc},
                                 {QStringLiteral("controllers"), controllers}};
        // Written whole or not at all: the old report stays until the new one is complete.
        return core::writeWholeFile(m_options.report, QJsonDocument(report).toJson());
    }

    const FleetOptions &m_options;
    std::vector<Unit> m_units;
    FleetView m_view;
    QHash<QString, std::size_t> m_byName;
    std::map<std::size_t, Running> m_running;
    Workers m_workers;
    QSet<QString> m_busyLinks; // the link keys of the running controllers
    int m_interrupts = 0;
    bool m_stopping = false; // the running controllers were told to stop
    QEventLoop m_loop;
    QTimer m_refresh;
    journal::Journal *m_journal;
    const QString m_runId = QUuid::createUuid().toString(QUuid::WithoutBraces);
};

// The files the runner writes must be files: told before anything is sent.
QString outputProblem(const FleetOptions &options, const std::vector<Unit> &units)
{
    if (!options.report.isEmpty())
        if (QString problem = core::outputPathProblem(options.report); !problem.isEmpty())
            return QStringLiteral("--report: ") + problem;
    if (!options.logDir.isEmpty())
        for (const Unit &u : units)
            if (QString problem = core::outputPathProblem(logPath(options, u)); !problem.isEmpty())
                return QStringLiteral("--log-dir: ") + problem;
    return {};
}

// The units to run, or a usage error as text; the inventory is read through wait.
std::vector<Unit> plan(const FleetOptions &options, const core::ReadWait &wait, QString *error)
{
    const ::fleet::Inventory inventory = ::fleet::readInventory(options.inventory, wait);
    if (!inventory.error.isEmpty()) {
        *error = inventory.error;
        return {};
    }
    const auto command = checkCommand(options.command);
    if (const auto *why = std::get_if<QString>(&command)) {
        *error = *why;
        return {};
    }
    QStringList unknown = options.only;
    std::vector<Unit> units;
    for (const ::fleet::Controller &c : inventory.controllers) {
        if (!options.only.isEmpty() && !options.only.contains(c.name))
            continue;
        unknown.removeAll(c.name);
        // Every controller's command is checked before any link opens.
        const auto words = controllerCommand(std::get<FleetCommand>(command), c, options.yes);
        if (const auto *why = std::get_if<QString>(&words)) {
            *error = *why;
            return {};
        }
        Unit u;
        u.controller = c;
        u.linkKeys = c.linkKeys();
        u.arguments = QStringList{QStringLiteral("--json")} + c.linkArguments() + std::get<QStringList>(words);
        units.push_back(u);
    }
    if (!unknown.isEmpty())
        *error = QStringLiteral("--only names controllers the inventory lacks: %1").arg(unknown.join(QLatin1Char(',')));
    return error->isEmpty() ? units : std::vector<Unit>{};
}
} // namespace

int runFleet(const QStringList &arguments, bool json, InterruptSignals &interrupts, journal::Journal *journal)
{
    QString error;
    auto options = parseFleetOptions(arguments, &error);
    std::vector<Unit> units;
    if (options) {
        // The inventory may come through a pipe, whose wait an interrupt ends.
        wire::EventLoopWaiter waiter;
        interrupts.onSignal = [&waiter](int) { waiter.requestQuit(); };
        units = plan(*options, waiter.readWait(), &error);
        interrupts.onSignal = nullptr;
        if (waiter.quitting())
            return kExitInterrupted;
    }
    if (options && error.isEmpty())
        error = outputProblem(*options, units);
    if (options && error.isEmpty())
        error = raiseFileLimit(std::min(options->parallel, static_cast<int>(units.size())));
    if (options && error.isEmpty() && !options->logDir.isEmpty() && !QDir().mkpath(options->logDir))
        error = QStringLiteral("cannot make the log folder %1").arg(options->logDir);
    if (!options || !error.isEmpty()) {
        StdoutSinks::error(error);
        StdoutSinks::error(usageText());
        return kExitUsage;
    }
    const bool useJson = json || options->json;
    const FleetView::Mode mode = useJson ? FleetView::Mode::Json
        : ::isatty(STDOUT_FILENO) == 1   ? FleetView::Mode::Live
                                         : FleetView::Mode::Lines;
    FleetRun run(*options, std::move(units), mode, journal);
    return run.run(interrupts);
}

} // namespace cli::fleet
