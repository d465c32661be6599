#include "cli/plan/planrun.h"

#include "cli/context.h"
#include "cli/fleet/runner.h"
#include "cli/plan/planview.h"
#include "core/safewrite.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <tuple>

namespace cli::plan {

namespace {
using fleet::RunEnd;
using fleet::Runner;

// A controller restarting into its new firmware is asked again this often,
// for this long, before its download counts as failed.
constexpr std::chrono::seconds kVerifyEvery{2};
constexpr std::chrono::seconds kVerifyFor{60};

enum class Outcome { InState, Unreachable, Waiting, Running, Applied, Failed, NotStarted, Interrupted };

QString outcomeName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::InState:
        return QStringLiteral("in state");
    case Outcome::Unreachable:
        return QStringLiteral("unreachable");
    case Outcome::Waiting:
    case Outcome::NotStarted:
        return QStringLiteral("not started");
    case Outcome::Running:
        return QStringLiteral("running");
    case Outcome::Applied:
        return QStringLiteral("applied");
    case Outcome::Failed:
        return QStringLiteral("failed");
    case Outcome::Interrupted:
        return QStringLiteral("interrupted");
    }
    return {};
}

// One controller's way through apply.
struct Progress {
    Outcome outcome = Outcome::Waiting;
    int wave = 0; // from 1; 0: past the last wave
    std::size_t action = 0;
    bool verifying = false;
    int polls = 0;
    QElapsedTimer sinceDownload;
    std::vector<Action> actions; // the plan's, and what a cleared controller needs
    bool declined = false;       // the ID-size question was answered No
    bool cleared = false;        // answered Yes: the ID-size change clears the controller's data
    QStringList done, verified, recorded, failed;
    QString message; // why it failed or did not start
    RunEnd last;
};

class ApplyRun final : public Runner::Driver {
public:
    ApplyRun(const PlanOptions &options, const Site &site, bool json, journal::Journal *journal)
        : m_options(options), m_site(site), m_json(json), m_recording(journal != nullptr),
          m_progress(site.plans.size()), m_runner(site.members, options.parallel, journal, site.runId)
    {
        std::vector<std::size_t> pending;
        for (std::size_t i = 0; i < m_progress.size(); ++i) {
            const ControllerPlan &p = m_site.plans[i];
            m_progress[i].actions = p.actions;
            m_progress[i].outcome = p.inState() ? Outcome::InState
                : p.actions.empty()             ? Outcome::Unreachable
                                                : Outcome::Waiting;
            if (m_progress[i].outcome == Outcome::Unreachable)
                m_progress[i].message = p.failure;
            if (m_progress[i].outcome == Outcome::Waiting)
                pending.push_back(i);
        }
        // In the inventory's order, wave after wave.
        const QList<int> ends = waveEnds(options.waves, static_cast<int>(pending.size()));
        for (int k = 0, w = 0; k < static_cast<int>(pending.size()) && w < ends.size(); ++k) {
            if (k >= ends[w])
                ++w;
            if (w < ends.size())
                m_progress[pending[static_cast<std::size_t>(k)]].wave = w + 1;
        }
        m_waves = static_cast<int>(ends.size());
    }

    int run(InterruptSignals &interrupts)
    {
        if (!m_json)
            for (std::size_t i = 0; i < m_progress.size(); ++i)
                for (const QString &line : m_site.lines(i))
                    StdoutSinks::textLine(line);
        if (m_waves > 0)
            announceWave();
        m_runner.run(interrupts, *this);
        const bool interrupted = m_runner.interrupts() > 0;
        for (Progress &p : m_progress) {
            if (p.outcome != Outcome::Waiting)
                continue;
            p.outcome = interrupted ? Outcome::Interrupted : Outcome::NotStarted;
            p.message = interrupted    ? QStringLiteral("interrupted before it started")
                : p.wave == 0          ? QStringLiteral("past the last wave")
                : !m_stopped.isEmpty() ? m_stopped
                                       : QString();
        }
        int rc = kExitOk;
        for (const Progress &p : m_progress)
            if (p.outcome != Outcome::InState && p.outcome != Outcome::Applied)
                rc = kExitFailure;
        if (interrupted)
            rc = kExitInterrupted;
        finished(rc);
        return rc;
    }

private:
    const Action &current(std::size_t index) const { return m_progress[index].actions.at(m_progress[index].action); }

    QStringList link(std::size_t index) const
    {
        return QStringList{QStringLiteral("--json")} + m_site.controllers[index].linkArguments();
    }

    // The command an action runs: the one a technician would type.
    Runner::Next actionRun(std::size_t index) const
    {
        const ::fleet::DesiredState &d = m_site.controllers[index].desired;
        switch (current(index).kind) {
        case ActionKind::Firmware:
            return Runner::run(link(index) + QStringList{QStringLiteral("flash"), d.firmware});
        case ActionKind::Profile:
            return Runner::run(link(index)
                               + QStringList{QStringLiteral("program"), QStringLiteral("--profile"), d.profile,
                                             m_options.yes ? QStringLiteral("--yes") : QStringLiteral("--no")});
        case ActionKind::Clock: {
            QStringList set{QStringLiteral("time"), QStringLiteral("set"), QStringLiteral("--hours"),
                            QString::number(std::abs(d.clockHours))};
            if (d.clockHours < 0)
                set << QStringLiteral("--subtract");
            return Runner::run(link(index) + set);
        }
        case ActionKind::Prune: {
            QStringList prune{QStringLiteral("prune"), d.access};
            if (d.accessSchedule)
                prune << QStringLiteral("--schedule");
            return Runner::run(link(index) + prune);
        }
        case ActionKind::Access: {
            QStringList download{QStringLiteral("access"), QStringLiteral("download"), d.access};
            if (d.accessSorted)
                download << QStringLiteral("--sorted");
            if (d.accessSchedule)
                download << QStringLiteral("--schedule");
            return Runner::run(link(index) + download);
        }
        case ActionKind::Schedules:
            return Runner::run(link(index)
                               + QStringList{QStringLiteral("schedules"), QStringLiteral("download"), d.schedules});
        }
        return Runner::finish();
    }

    bool mayStart(std::size_t index) override
    {
        const Progress &p = m_progress[index];
        return m_stopped.isEmpty() && p.outcome == Outcome::Waiting && p.wave > 0 && p.wave <= m_wave;
    }

    Runner::Next start(std::size_t index) override
    {
        ++m_attempted;
        m_progress[index].outcome = Outcome::Running;
        return actionRun(index);
    }

    void launched(std::size_t index) override
    {
        if (!m_progress[index].verifying)
            say(index, QStringLiteral("running"), {});
    }

    void event(std::size_t index, const QJsonObject &event) override
    {
        if (event.value(QLatin1String("event")).toString() == QLatin1String("question")) {
            const bool yes = event.value(QLatin1String("answer")).toString() == QLatin1String("Yes");
            (yes ? m_progress[index].cleared : m_progress[index].declined) = true;
        }
        if (!m_json)
            return;
        QJsonObject tagged = event;
        tagged.insert(QStringLiteral("action"), kindName(current(index).kind));
        StdoutSinks::jsonLine(tagged);
    }

    void ended(std::size_t index, RunEnd &end) override { m_progress[index].last = end; }

    // Stopped while it waited to ask the new firmware again.
    void stopped(std::size_t index) override
    {
        m_progress[index].last.code = kExitInterrupted;
        fail(index, QStringLiteral("interrupted while checking it"));
    }

    Runner::Next next(std::size_t index) override
    {
        Progress &p = m_progress[index];
        const RunEnd &e = p.last;
        const bool ok = !e.lost && e.code == kExitOk;
        const ::fleet::DesiredState &d = m_site.controllers[index].desired;
        const ActionKind kind = current(index).kind;
        if (!p.verifying) {
            if (!ok)
                return fail(index, failureText(index));
            p.done << kindName(kind);
            if (kind == ActionKind::Profile && p.cleared)
                addListDownloads(index);
            if (kind == ActionKind::Profile)
                return recorded(index);
            // Nothing is done until it is seen done.
            p.verifying = true;
            p.polls = 0;
            p.sinceDownload.start();
            return Runner::run(link(index) + readBack(index, kind));
        }
        if (interruptedRun(e))
            return fail(index, QStringLiteral("interrupted while checking it"));
        if (kind == ActionKind::Prune || kind == ActionKind::Access || kind == ActionKind::Schedules)
            return verifyList(index, kind, e);
        if (kind == ActionKind::Clock) {
            if (!ok)
                return fail(index, QStringLiteral("the clock could not be read back: ") + e.ending);
            const qint64 allowed = d.clockTolerance.value_or(0);
            const qint64 drift = clockDrift(d, e.results.value(QLatin1String("clock_offset_s")).toInteger());
            if (std::abs(drift) > allowed)
                return fail(index,
                            QStringLiteral("reads %1 s off after the set (allowed %2 s)").arg(drift).arg(allowed));
            return verified(index, QStringLiteral("%1 s off").arg(drift));
        }
        const QString answer = e.results.value(QLatin1String("version")).toString();
        if (ok && sameIdentification(answer, d.firmwareVersion))
            return verified(index, QStringLiteral("answers \"%1\"").arg(answer));
        // An answer comes from the image it started: asking again changes nothing.
        if (ok)
            return fail(index,
                        QStringLiteral("answers \"%1\" after the download, not \"%2\": it did not start "
                                       "the new image")
                            .arg(answer, d.firmwareVersion));
        // Restarting into its new image, it may not answer for a while.
        if (std::chrono::milliseconds(p.sinceDownload.elapsed()) + kVerifyEvery < kVerifyFor)
            return Runner::run(link(index) + QStringList{QStringLiteral("version")}, ++p.polls + 1, kVerifyEvery);
        return fail(index, QStringLiteral("no answer to \"V\" within %1 s of the download").arg(kVerifyFor.count()));
    }

    // The lists the plan found in state were cleared with the ID size: their
    // downloads join the actions still to run, in apply's order.
    void addListDownloads(std::size_t index)
    {
        if (m_options.skipLists)
            return;
        Progress &p = m_progress[index];
        const ::fleet::DesiredState &d = m_site.controllers[index].desired;
        const Targets &t = m_site.targets[index];
        const QString why = QStringLiteral("the ID-size change cleared the controller's data");
        for (const auto &[listKind, managed, seconds] :
             {std::tuple{ActionKind::Access, !d.access.isEmpty(), t.accessSeconds},
              std::tuple{ActionKind::Schedules, !d.schedules.isEmpty(), t.schedulesSeconds}}) {
            const ActionKind kind = listKind; // a lambda may not capture a structured binding before clang 16
            const auto later = p.actions.begin() + static_cast<std::ptrdiff_t>(p.action) + 1;
            if (!managed || std::any_of(later, p.actions.end(), [kind](const Action &a) { return a.kind == kind; }))
                continue;
            p.actions.insert(std::find_if(later, p.actions.end(), [kind](const Action &a) { return a.kind > kind; }),
                             Action{kind, why, seconds, {}});
        }
    }

    // What reads an action's effect back.
    QStringList readBack(std::size_t index, ActionKind kind) const
    {
        switch (kind) {
        case ActionKind::Firmware:
            return {QStringLiteral("version")};
        case ActionKind::Clock:
            return {QStringLiteral("time"), QStringLiteral("get")};
        default:
            return QStringList{QStringLiteral("inspect")}
            + listReadArguments(m_site.controllers[index].desired, m_site.hashKey, kind != ActionKind::Schedules,
                                kind == ActionKind::Schedules);
        }
    }

    // A list read back: nothing missing after a download, no surplus ID left
    // after a prune, the schedule table equal to the file's.
    Runner::Next verifyList(std::size_t index, ActionKind kind, const RunEnd &e)
    {
        if (e.lost || e.code != kExitOk)
            return fail(index, QStringLiteral("it could not be read back: ") + e.ending);
        const QJsonObject read =
            e.results.value(kind == ActionKind::Schedules ? QLatin1String("schedules") : QLatin1String("access"))
                .toObject();
        const auto count = [&read](const char *key) { return read.value(QLatin1String(key)).toInteger(); };
        const QString hash = read.value(QLatin1String("hmac_sha256")).toString().left(kShortHash);
        const QString hashed = hash.isEmpty() ? QString() : QStringLiteral(", hmac %1").arg(hash);
        switch (kind) {
        case ActionKind::Prune:
            if (count("surplus") > 0)
                return fail(index, QStringLiteral("%1 surplus IDs left after the deletes").arg(count("surplus")));
            return verified(index, QStringLiteral("no surplus ID left%1").arg(hashed));
        case ActionKind::Access:
            if (count("missing") > 0)
                return fail(index,
                            QStringLiteral("%1 of %2 records still missing after the download")
                                .arg(count("missing"))
                                .arg(count("file_records")));
            return verified(index, QStringLiteral("%1 records, none missing%2").arg(count("records")).arg(hashed));
        default:
            if (count("differing") > 0)
                return fail(
                    index,
                    QStringLiteral("%1 schedule entries still differ after the download").arg(count("differing")));
            return verified(index, QStringLiteral("equal to the file%1").arg(hashed));
        }
    }

    bool interruptedRun(const RunEnd &e) const { return e.code == kExitInterrupted || (e.lost && m_runner.stopping()); }

    QString failureText(std::size_t index) const
    {
        const Progress &p = m_progress[index];
        const RunEnd &e = p.last;
        QString text =
            e.lost ? (m_runner.stopping() ? QStringLiteral("interrupted") : QStringLiteral("crashed")) : e.ending;
        if (e.code == kExitInterrupted)
            text = QStringLiteral("interrupted");
        if (p.declined)
            text = QStringLiteral("the ID-size question was answered No (--yes answers Yes)");
        if (e.results.value(QLatin1String("boot_code")).toBool())
            text += QStringLiteral(", left in boot code");
        return text;
    }

    // A programming run cannot be read back: what it programmed is recorded.
    Runner::Next recorded(std::size_t index)
    {
        Progress &p = m_progress[index];
        const QString hash = p.last.results.value(QLatin1String("settings_sha256")).toString();
        if (hash != m_site.targets[index].settingsHash)
            return fail(index, QStringLiteral("it programmed other settings than planned: the profile changed"));
        if (!m_recording) {
            say(index, QStringLiteral("done"), QStringLiteral("not recorded: no journal"));
            return advance(index);
        }
        p.recorded << kindName(ActionKind::Profile);
        say(index, QStringLiteral("recorded"), QStringLiteral("settings sha256 %1").arg(hash.left(kShortHash)));
        return advance(index);
    }

    Runner::Next verified(std::size_t index, const QString &what)
    {
        m_progress[index].verified << kindName(current(index).kind);
        say(index, QStringLiteral("verified"), what);
        return advance(index);
    }

    Runner::Next advance(std::size_t index)
    {
        Progress &p = m_progress[index];
        p.verifying = false;
        if (++p.action == p.actions.size())
            return finish(index, Outcome::Applied);
        // Ctrl-C lets the running action end, and starts nothing more.
        if (m_runner.interrupts() > 0) {
            p.message = QStringLiteral("interrupted before the %1").arg(kindName(current(index).kind));
            return finish(index, Outcome::Interrupted);
        }
        return actionRun(index);
    }

    Runner::Next fail(std::size_t index, const QString &why)
    {
        Progress &p = m_progress[index];
        const QString kind = kindName(current(index).kind);
        p.failed << kind;
        p.message = kind + QStringLiteral(": ") + why;
        say(index, QStringLiteral("failed"), why);
        return finish(index, interruptedRun(p.last) ? Outcome::Interrupted : Outcome::Failed);
    }

    Runner::Next finish(std::size_t index, Outcome outcome)
    {
        Progress &p = m_progress[index];
        p.outcome = outcome;
        if (!m_json)
            StdoutSinks::textLine(QStringLiteral("%1: %2%3")
                                      .arg(m_site.controllers[index].name, outcomeName(outcome),
                                           p.message.isEmpty() ? QString() : QStringLiteral(": ") + p.message));
        if (outcome != Outcome::Applied)
            ++m_failed;
        if (m_options.maxFailures && m_stopped.isEmpty()
            && failureLimitReached(*m_options.maxFailures, m_failed, m_attempted))
            stop(QStringLiteral("%1 of %2 controllers failed (--max-failures): no further controller starts")
                     .arg(m_failed)
                     .arg(m_attempted));
        nextWave();
        return Runner::finish();
    }

    // A wave starts once every controller of the one before is in state.
    void nextWave()
    {
        bool allDone = true;
        bool allApplied = true;
        for (const Progress &p : m_progress) {
            if (p.wave != m_wave)
                continue;
            allDone = allDone && p.outcome != Outcome::Waiting && p.outcome != Outcome::Running;
            allApplied = allApplied && p.outcome == Outcome::Applied;
        }
        if (!allDone || !m_stopped.isEmpty() || m_runner.interrupts() > 0 || m_wave >= m_waves)
            return;
        if (!allApplied) {
            stop(QStringLiteral("wave %1 did not end in state: the next waves do not start").arg(m_wave));
            return;
        }
        ++m_wave;
        announceWave();
    }

    void stop(const QString &why)
    {
        m_stopped = why;
        if (m_json)
            StdoutSinks::jsonLine(
                {{QStringLiteral("event"), QStringLiteral("stopped")}, {QStringLiteral("text"), why}});
        else
            StdoutSinks::textLine(why);
    }

    void announceWave()
    {
        QStringList names;
        for (std::size_t i = 0; i < m_progress.size(); ++i)
            if (m_progress[i].wave == m_wave)
                names << m_site.controllers[i].name;
        if (m_json)
            StdoutSinks::jsonLine({{QStringLiteral("event"), QStringLiteral("wave")},
                                   {QStringLiteral("wave"), m_wave},
                                   {QStringLiteral("waves"), m_waves},
                                   {QStringLiteral("controllers"), QJsonArray::fromStringList(names)}});
        else
            StdoutSinks::textLine(
                QStringLiteral("wave %1 of %2: %3").arg(m_wave).arg(m_waves).arg(names.join(QStringLiteral(", "))));
    }

    // An action's state: running, done, verified, recorded or failed.
    void say(std::size_t index, const QString &state, const QString &text) const
    {
        const QString &name = m_site.controllers[index].name;
        const QString kind = kindName(current(index).kind);
        if (m_json) {
            QJsonObject o{{QStringLiteral("event"), QStringLiteral("action")},
                          {QStringLiteral("name"), name},
                          {QStringLiteral("action"), kind},
                          {QStringLiteral("state"), state},
                          {QStringLiteral("wave"), m_progress[index].wave}};
            if (!text.isEmpty())
                o.insert(QStringLiteral("text"), text);
            StdoutSinks::jsonLine(o);
            return;
        }
        StdoutSinks::textLine(QStringLiteral("%1: %2 %3%4")
                                  .arg(name, kind, state, text.isEmpty() ? QString() : QStringLiteral(": ") + text));
    }

    QJsonObject object(std::size_t index) const
    {
        const Progress &p = m_progress[index];
        QJsonObject o = m_site.object(index);
        o.insert(QStringLiteral("wave"), p.wave > 0 ? QJsonValue(p.wave) : QJsonValue());
        o.insert(QStringLiteral("state"), outcomeName(p.outcome));
        o.insert(QStringLiteral("done"), QJsonArray::fromStringList(p.done));
        o.insert(QStringLiteral("verified"), QJsonArray::fromStringList(p.verified));
        o.insert(QStringLiteral("recorded"), QJsonArray::fromStringList(p.recorded));
        o.insert(QStringLiteral("failed"), QJsonArray::fromStringList(p.failed));
        o.insert(QStringLiteral("message"), p.message);
        return o;
    }

    void finished(int &rc)
    {
        int counts[8] = {};
        QJsonArray controllers;
        for (std::size_t i = 0; i < m_progress.size(); ++i) {
            ++counts[static_cast<int>(m_progress[i].outcome)];
            QJsonObject o = object(i);
            if (m_json)
                StdoutSinks::jsonLine(o);
            o.remove(QStringLiteral("event"));
            controllers.append(o);
        }
        const auto count = [&counts](Outcome o) { return counts[static_cast<int>(o)]; };
        const QJsonObject summary{{QStringLiteral("event"), QStringLiteral("summary")},
                                  {QStringLiteral("run"), m_site.runId},
                                  {QStringLiteral("controllers"), static_cast<int>(m_progress.size())},
                                  {QStringLiteral("in_state"), count(Outcome::InState)},
                                  {QStringLiteral("applied"), count(Outcome::Applied)},
                                  {QStringLiteral("failed"), count(Outcome::Failed)},
                                  {QStringLiteral("not_started"), count(Outcome::NotStarted)},
                                  {QStringLiteral("unreachable"), count(Outcome::Unreachable)},
                                  {QStringLiteral("interrupted"), count(Outcome::Interrupted)},
                                  {QStringLiteral("stopped"), m_stopped},
                                  {QStringLiteral("exit"), rc}};
        if (m_json)
            StdoutSinks::jsonLine(summary);
        else
            StdoutSinks::textLine(QStringLiteral("%1 controllers: %2 applied, %3 in state, %4 failed, %5 not started, "
                                                 "%6 unreachable, %7 interrupted")
                                      .arg(m_progress.size())
                                      .arg(count(Outcome::Applied))
                                      .arg(count(Outcome::InState))
                                      .arg(count(Outcome::Failed))
                                      .arg(count(Outcome::NotStarted))
                                      .arg(count(Outcome::Unreachable))
                                      .arg(count(Outcome::Interrupted)));
        if (m_options.report.isEmpty())
            return;
        QJsonObject report = summary;
        report.remove(QStringLiteral("event"));
        report.insert(QStringLiteral("controllers"), controllers);
        // Written whole or not at all: the old report stays until the new one is complete.
        if (const auto error = core::writeWholeFile(m_options.report, QJsonDocument(report).toJson())) {
            StdoutSinks::error(QStringLiteral("cannot write the report %1").arg(*error));
            rc = rc == kExitOk ? kExitFailure : rc;
        }
    }

    const PlanOptions &m_options;
    const Site &m_site;
    bool m_json;
    bool m_recording;
    std::vector<Progress> m_progress;
    int m_wave = 1;
    int m_waves = 0;
    int m_attempted = 0;
    int m_failed = 0;
    QString m_stopped; // why no further controller starts
    Runner m_runner;
};
} // namespace

int runApply(const PlanOptions &options, bool json, InterruptSignals &interrupts, journal::Journal *journal,
             const journal::Journal *history)
{
    if (!options.report.isEmpty())
        if (const QString problem = core::outputPathProblem(options.report); !problem.isEmpty())
            return usageError(QStringLiteral("--report: ") + problem);
    const auto planned = planSite(options, json, interrupts, journal, history, fleet::newRunId());
    if (const int *rc = std::get_if<int>(&planned))
        return *rc;
    ApplyRun run(options, std::get<Site>(planned), json, journal);
    return run.run(interrupts);
}

} // namespace cli::plan
