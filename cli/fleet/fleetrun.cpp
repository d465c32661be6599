#include "cli/fleet/fleetrun.h"

#include "cli/context.h"
#include "cli/fleet/commandline.h"
#include "cli/fleet/fleetoptions.h"
#include "cli/fleet/fleetview.h"
#include "cli/fleet/runner.h"
#include "cli/fleet/site.h"
#include "cli/interruptsignals.h"
#include "cli/options.h"
#include "cli/recording.h"
#include "core/controltext.h"
#include "core/safewrite.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

#include <memory>
#include <unistd.h>

namespace cli::fleet {

namespace {
constexpr int kRefreshMs = 100;

QString isoTime(const QDateTime &t) { return t.isValid() ? t.toUTC().toString(Qt::ISODateWithMs) : QString(); }

QString logPath(const FleetOptions &options, const Unit &unit)
{
    return QDir(options.logDir).filePath(unit.controller.name + QStringLiteral(".log"));
}

std::vector<Runner::Member> membersOf(const std::vector<Unit> &units)
{
    std::vector<Runner::Member> members;
    members.reserve(units.size());
    for (const Unit &u : units)
        members.push_back({u.controller.name, u.linkKeys});
    return members;
}

// The fleet's part of a run: one command per controller, retried when it
// fails, shown as it goes, logged and reported.
class FleetRun final : public Runner::Driver {
public:
    FleetRun(const FleetOptions &options, std::vector<Unit> units, FleetView::Mode mode, journal::Journal *journal)
        : m_options(options), m_units(std::move(units)), m_view(mode, m_units),
          m_runner(membersOf(m_units), options.parallel, journal, newRunId())
    {
        m_refresh.setInterval(kRefreshMs);
        QObject::connect(&m_refresh, &QTimer::timeout, [this] { m_view.refresh(); });
    }

    int run(InterruptSignals &interrupts)
    {
        m_refresh.start();
        m_runner.run(interrupts, *this);
        m_refresh.stop();
        int rc = kExitOk;
        for (const Unit &u : m_units)
            if (u.state != State::Ok)
                rc = kExitFailure;
        if (m_runner.interrupts() > 0)
            rc = kExitInterrupted;
        for (Unit &u : m_units)
            if (u.state == State::Waiting)
                u.state = State::Interrupted;
        if (!m_options.report.isEmpty()) {
            if (const auto error = writeReport(rc)) {
                StdoutSinks::error(QStringLiteral("cannot write the report %1").arg(*error));
                rc = rc == kExitOk ? kExitFailure : rc;
            }
        }
        // After the report: a report that could not be written fails the run's summary too.
        m_view.finished(rc, m_runner.runId());
        return rc;
    }

private:
    struct Running {
        std::unique_ptr<core::StreamFile> log;
        QString logError; // the first write that failed; the attempt fails with it
        bool retry = false;
    };

    Runner::Next start(std::size_t index) override
    {
        Unit &u = m_units[index];
        u.state = State::Running;
        ++u.attempts;
        if (!u.started.isValid())
            u.started = QDateTime::currentDateTime();
        u.percent = -1;
        u.results = {};
        openLog(u, m_running[index]);
        return Runner::run(u.arguments, u.attempts);
    }

    void launched(std::size_t index) override { m_view.attemptStarted(m_units[index]); }

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

    // One event of a controller's run.
    void event(std::size_t index, const QJsonObject &event) override
    {
        Unit &u = m_units[index];
        const QString kind = event.value(QLatin1String("event")).toString();
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
    void ended(std::size_t index, RunEnd &end) override
    {
        Unit &u = m_units[index];
        Running &r = m_running.at(index);
        u.results = end.results;
        u.exitCode = end.exitStatus;
        u.ended = QDateTime::currentDateTime();
        if (end.lost)
            u.state = m_runner.stopping() ? State::Interrupted : State::Crashed;
        else if (end.code == kExitOk)
            u.state = State::Ok;
        else
            u.state = end.code == kExitInterrupted ? State::Interrupted : State::Failed;
        log(r, stateName(u.state));
        // What the log lost counts against the run: its record is incomplete.
        if (!r.logError.isEmpty() && u.state == State::Ok) {
            u.state = State::Failed;
            u.exitCode = end.exitStatus = kExitFailure;
            u.status = r.logError;
        }
        // A usage error would only repeat.
        r.retry = m_runner.interrupts() == 0 && u.attempts <= m_options.retries && r.logError.isEmpty()
            && (u.state == State::Crashed || (u.state == State::Failed && end.code != kExitUsage));
    }

    Runner::Next next(std::size_t index) override
    {
        Unit &u = m_units[index];
        const bool retry = m_running.at(index).retry;
        m_view.attemptEnded(u, retry);
        m_running.erase(index);
        if (!retry)
            return Runner::finish();
        u.state = State::Waiting;
        return {Runner::Next::Kind::Requeue, {}, 1, {}};
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
                                 {QStringLiteral("run"), m_runner.runId()},
                                 {QStringLiteral("exit"), rc},
                                 {QStringLiteral("controllers"), controllers}};
        // Written whole or not at all: the old report stays until the new one is complete.
        return core::writeWholeFile(m_options.report, QJsonDocument(report).toJson());
    }

    const FleetOptions &m_options;
    std::vector<Unit> m_units;
    FleetView m_view;
    std::map<std::size_t, Running> m_running;
    Runner m_runner;
    QTimer m_refresh;
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

// The units to run, or a usage error as text.
std::vector<Unit> plan(const FleetOptions &options, const ::fleet::Inventory &inventory, QString *error)
{
    QString unknown;
    const std::vector<::fleet::Controller> chosen = selectControllers(inventory, options.only, &unknown);
    const auto command = checkCommand(options.command);
    if (const auto *why = std::get_if<QString>(&command)) {
        *error = *why;
        return {};
    }
    std::vector<Unit> units;
    for (const ::fleet::Controller &c : chosen) {
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
    *error = unknown;
    return error->isEmpty() ? units : std::vector<Unit>{};
}
} // namespace

int runFleet(const QStringList &arguments, bool json, InterruptSignals &interrupts, journal::Journal *journal)
{
    QString error;
    auto options = parseFleetOptions(arguments, &error);
    std::vector<Unit> units;
    if (options) {
        const auto inventory = readSite(options->inventory, interrupts);
        if (!inventory)
            return kExitInterrupted;
        // An inventory's faulty line is told alone: the usage would bury it.
        if (!inventory->error.isEmpty()) {
            StdoutSinks::error(inventory->error);
            return kExitUsage;
        }
        units = plan(*options, *inventory, &error);
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
