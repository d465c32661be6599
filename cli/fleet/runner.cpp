#include "cli/fleet/runner.h"

#include "cli/context.h"
#include "cli/interruptsignals.h"
#include "cli/options.h"
#include "cli/recording.h"

#include <QTimer>
#include <QUuid>

#include <csignal>
#include <sys/resource.h>

namespace cli::fleet {

namespace {
// What the runner holds open per worker: the pipes for its stdin, stdout and
// stderr and the process descriptor, with room to spare. A worker holds
// about three per run (its link, its thread's wake-up descriptor and one
// spare), well inside the usual limit.
constexpr rlim_t kFilesPerWorker = 4;
constexpr rlim_t kFilesSpare = 64;
} // namespace

QString newRunId() { return QUuid::createUuid().toString(QUuid::WithoutBraces); }

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

Runner::Runner(std::vector<Member> members, int parallel, journal::Journal *journal, QString runId)
    : m_members(std::move(members)), m_slots(m_members.size(), Slot::Waiting), m_parallel(parallel), m_journal(journal),
      m_runId(std::move(runId))
{
    for (std::size_t i = 0; i < m_members.size(); ++i)
        m_byName.insert(m_members[i].name, i);
    m_workers.onEvent = [this](const QString &name, const QJsonObject &event) { handle(m_byName.value(name), event); };
    m_workers.onLost = [this](const QString &name) {
        RunEnd end;
        end.lost = true;
        ended(m_byName.value(name), end);
    };
    m_workers.onError = [](const QString &text) { StdoutSinks::error(text); };
}

Runner::~Runner() = default;

void Runner::run(InterruptSignals &interrupts, Driver &driver)
{
    m_driver = &driver;
    interrupts.onSignal = [this](int signal) { interrupt(signal); };
    startMore();
    if (!m_active.empty())
        m_loop.exec();
    interrupts.onSignal = nullptr;
    m_workers.finish();
}

// Ctrl-C once: start no new controller; twice (or SIGTERM): stop the
// running ones at once.
void Runner::interrupt(int signal)
{
    ++m_interrupts;
    m_stopping = m_stopping || m_interrupts > 1 || signal == SIGTERM;
    if (m_stopping) {
        m_workers.stop();
        std::vector<std::size_t> pausing;
        for (const auto &[index, active] : m_active)
            if (active.pause)
                pausing.push_back(index);
        for (const std::size_t index : pausing) {
            m_driver->stopped(index);
            release(index, Slot::Finished);
        }
    }
    quitWhenDone();
}

void Runner::startMore()
{
    for (std::size_t i = 0; i < m_members.size() && m_interrupts == 0; ++i) {
        if (static_cast<int>(m_active.size()) >= m_parallel)
            break;
        // A link carries one controller's runs at a time.
        if (m_slots[i] != Slot::Waiting || linkBusy(i) || !m_driver->mayStart(i))
            continue;
        const Next next = m_driver->start(i);
        if (next.kind != Next::Kind::Run) {
            m_slots[i] = next.kind == Next::Kind::Finish ? Slot::Finished : Slot::Waiting;
            continue;
        }
        m_slots[i] = Slot::Active;
        for (const QString &key : m_members[i].linkKeys)
            m_busyLinks.insert(key);
        launch(i, next);
    }
}

bool Runner::linkBusy(std::size_t index) const
{
    const QStringList &keys = m_members[index].linkKeys;
    return std::any_of(keys.begin(), keys.end(), [this](const QString &key) { return m_busyLinks.contains(key); });
}

void Runner::launch(std::size_t index, const Next &next)
{
    Active &a = m_active[index];
    // This may be the pause's own timeout.
    if (a.pause)
        a.pause.release()->deleteLater();
    // Recorded before it is shown: whoever sees the run finds its record.
    QString error;
    if (const auto options = parseLinkOptions(next.arguments, &error); m_journal && options) {
        journal::Begin begin = describeRun(*options);
        begin.controller = m_members[index].name;
        begin.run = m_runId;
        begin.attempt = next.attempt;
        a.record.emplace(m_journal, begin, &warnJournal);
    }
    m_driver->launched(index);
    m_workers.start(m_members[index].name, next.arguments);
}

void Runner::handle(std::size_t index, const QJsonObject &event)
{
    if (event.value(QLatin1String("event")).toString() != QLatin1String("result")) {
        m_driver->event(index, event);
        return;
    }
    RunEnd end;
    end.code = event.value(QLatin1String("exit")).toInt();
    end.results = event.value(QLatin1String("results")).toObject();
    end.ending = event.value(QLatin1String("message")).toString();
    ended(index, end);
}

// A run's end: its exit status, or lost with the worker it ran in.
void Runner::ended(std::size_t index, RunEnd end)
{
    end.exitStatus = end.lost ? -1 : end.code;
    m_driver->ended(index, end);
    Active &a = m_active.at(index);
    if (a.record) {
        const journal::Outcome outcome = !end.lost ? outcomeOf(end.code)
            : m_stopping                           ? journal::Outcome::Interrupted
                                                   : journal::Outcome::Failed;
        const QString lostText = m_stopping ? QStringLiteral("interrupted") : QStringLiteral("crashed");
        a.record->end({outcome, end.exitStatus, end.lost ? lostText : end.ending, end.results});
        a.record.reset();
    }
    proceed(index, m_driver->next(index));
    startMore();
    quitWhenDone();
}

void Runner::proceed(std::size_t index, const Next &next)
{
    if (next.kind != Next::Kind::Run) {
        release(index, next.kind == Next::Kind::Finish ? Slot::Finished : Slot::Waiting);
        return;
    }
    if (next.delay <= std::chrono::milliseconds::zero()) {
        launch(index, next);
        return;
    }
    auto &pause = m_active.at(index).pause;
    pause = std::make_unique<QTimer>();
    pause->setSingleShot(true);
    QObject::connect(pause.get(), &QTimer::timeout, [this, index, next] { launch(index, next); });
    pause->start(next.delay);
}

void Runner::release(std::size_t index, Slot to)
{
    m_slots[index] = to;
    for (const QString &key : m_members[index].linkKeys)
        m_busyLinks.remove(key);
    m_active.erase(index);
}

void Runner::quitWhenDone()
{
    if (m_active.empty())
        m_loop.quit();
}

} // namespace cli::fleet
