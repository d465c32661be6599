#include "cli/plan/planrun.h"

#include "cli/context.h"
#include "cli/fleet/runner.h"
#include "cli/fleet/site.h"
#include "cli/options.h"
#include "cli/plan/plancommand.h"
#include "cli/plan/planview.h"
#include "cli/plan/predict.h"
#include "cli/plan/targets.h"
#include "cli/recording.h"
#include "journal/journal.h"
#include "journal/place.h"

#include <QFileInfo>

namespace cli::plan {

namespace {
using ::fleet::Controller;
using fleet::Runner;

// Reads each controller once: its firmware identification, its clock, and
// its managed lists.
class ReadDriver final : public Runner::Driver {
public:
    // lists: the managed lists are read too, hashed with hashKey.
    // A run id: each read's start is said as a JSON object.
    ReadDriver(const std::vector<Controller> &controllers, std::vector<Reading> &readings, bool lists,
               const QStringList &hashKey, QString runId)
        : m_controllers(controllers), m_readings(readings), m_lists(lists), m_hashKey(hashKey),
          m_runId(std::move(runId))
    {}
    Runner::Next start(std::size_t index) override
    {
        return Runner::run(QStringList{QStringLiteral("--json")} + m_controllers[index].linkArguments()
                           + QStringList{QStringLiteral("inspect")}
                           + listReadArguments(m_controllers[index].desired, m_hashKey, m_lists, m_lists));
    }
    void launched(std::size_t index) override
    {
        // A long list's read takes minutes: whoever follows the run sees which are under way.
        if (!m_runId.isEmpty())
            StdoutSinks::jsonLine({{QStringLiteral("event"), QStringLiteral("reading")},
                                   {QStringLiteral("name"), m_controllers[index].name},
                                   {QStringLiteral("run"), m_runId}});
    }
    void event(std::size_t, const QJsonObject &) override {}
    void ended(std::size_t index, fleet::RunEnd &end) override
    {
        m_readings[index] = readingOf(end.lost ? -1 : end.code, end.results,
                                      end.lost ? QStringLiteral("its worker ended before the read") : end.ending);
    }
    Runner::Next next(std::size_t) override { return Runner::finish(); }

private:
    const std::vector<Controller> &m_controllers;
    std::vector<Reading> &m_readings;
    bool m_lists;
    const QStringList &m_hashKey;
    QString m_runId;
};

// Reading a long list at 9600 baud takes minutes: said before it starts.
constexpr double kLongRead = 30;

void warnLongReads(const Site &site)
{
    double longest = 0;
    for (const Targets &t : site.targets)
        longest = std::max(longest, t.listReadSeconds());
    if (longest > kLongRead)
        StdoutSinks::error(QStringLiteral("Reading the access lists and schedules takes up to %1 a controller at its "
                                          "line rate (--skip-lists plans without them)")
                               .arg(durationText(longest)));
}

int runPlan(const PlanOptions &options, bool json, InterruptSignals &interrupts, journal::Journal *journal,
            const journal::Journal *history)
{
    const auto planned = planSite(options, json, interrupts, journal, history, fleet::newRunId());
    if (const int *rc = std::get_if<int>(&planned))
        return *rc;
    const Site &site = std::get<Site>(planned);
    int inState = 0;
    int unread = 0;
    for (std::size_t i = 0; i < site.plans.size(); ++i) {
        const ControllerPlan &p = site.plans[i];
        inState += p.inState() ? 1 : 0;
        unread += p.read ? 0 : 1;
        if (json)
            StdoutSinks::jsonLine(site.object(i));
        else
            for (const QString &line : site.lines(i))
                StdoutSinks::textLine(line);
    }
    const int total = static_cast<int>(site.plans.size());
    const int pending = total - inState - unread;
    const int rc = unread > 0 ? kExitFailure : pending > 0 ? kExitPending : kExitOk;
    if (json) {
        StdoutSinks::jsonLine({{QStringLiteral("event"), QStringLiteral("summary")},
                               {QStringLiteral("run"), site.runId},
                               {QStringLiteral("controllers"), total},
                               {QStringLiteral("in_state"), inState},
                               {QStringLiteral("pending"), pending},
                               {QStringLiteral("unreachable"), unread},
                               {QStringLiteral("exit"), rc}});
        return rc;
    }
    StdoutSinks::textLine(QStringLiteral("%1 controllers: %2 in state, %3 with changes pending, %4 not read")
                              .arg(total)
                              .arg(inState)
                              .arg(pending)
                              .arg(unread));
    if (inState < total)
        StdoutSinks::textLine(kPredictionsAssume);
    return rc;
}
} // namespace

QJsonObject Site::object(std::size_t index) const
{
    return controllerObject(controllers[index], targets[index], readings[index], plans[index], runId);
}

QStringList listReadArguments(const ::fleet::DesiredState &d, const QStringList &hashKey, bool access, bool schedules)
{
    QStringList words;
    if (access && !d.access.isEmpty()) {
        words << QStringLiteral("--access") << d.access;
        if (d.accessSorted)
            words << QStringLiteral("--sorted");
        if (d.accessSchedule)
            words << QStringLiteral("--schedule");
    }
    if (schedules && !d.schedules.isEmpty())
        words << QStringLiteral("--schedules") << d.schedules;
    return words.isEmpty() ? words : words + hashKey;
}

QStringList Site::lines(std::size_t index) const
{
    return planLines(controllers[index], targets[index], readings[index], plans[index]);
}

// An inventory or a file it names that cannot be used: the message alone,
// for the command line itself was right.
int inputError(const QString &text)
{
    StdoutSinks::error(text);
    return kExitUsage;
}

int usageError(const QString &text)
{
    inputError(text);
    StdoutSinks::error(usageText());
    return kExitUsage;
}

std::variant<Site, int> planSite(const PlanOptions &options, bool json, InterruptSignals &interrupts,
                                 journal::Journal *journal, const journal::Journal *history, const QString &runId)
{
    const auto inventory = fleet::readSite(options.inventory, interrupts);
    if (!inventory)
        return kExitInterrupted;
    if (!inventory->error.isEmpty())
        return inputError(inventory->error);
    Site site;
    site.runId = runId;
    QString error;
    site.controllers = fleet::selectControllers(*inventory, options.only, &error);
    TargetFiles files;
    for (const Controller &c : site.controllers) {
        if (!error.isEmpty())
            break;
        if (auto t = files.of(c, !options.skipLists, &error))
            site.targets.push_back(*t);
        else
            error = QStringLiteral("%1: inventory line %2: %3").arg(options.inventory).arg(c.line).arg(error);
    }
    if (error.isEmpty())
        error = fleet::raiseFileLimit(std::min(options.parallel, static_cast<int>(site.controllers.size())));
    if (!error.isEmpty())
        return inputError(error);

    for (const Controller &c : site.controllers)
        site.members.push_back({c.name, c.linkKeys()});
    site.readings.resize(site.controllers.size());
    if (history)
        if (const QString key = journal::keyPath(history->path()); QFileInfo::exists(key))
            site.hashKey = QStringList{QStringLiteral("--hash-key"), key};
    if (!options.skipLists)
        warnLongReads(site);
    fleet::Runner runner(site.members, options.parallel, journal, runId);
    ReadDriver reads(site.controllers, site.readings, !options.skipLists, site.hashKey, json ? runId : QString());
    runner.run(interrupts, reads);
    if (runner.interrupts() > 0)
        return kExitInterrupted;

    // The journal is read after the reads: they could not change what it says.
    std::optional<journal::History> past;
    if (history) {
        past.emplace(*history, &::fleet::linkKeysOf, &error);
        if (!error.isEmpty())
            StdoutSinks::error(QStringLiteral("warning: %1; planned as if it were empty").arg(error));
    }
    for (std::size_t i = 0; i < site.controllers.size(); ++i) {
        const Controller &c = site.controllers[i];
        const journal::ControllerHistory h =
            past ? past->of(c.name, site.members[i].linkKeys) : journal::ControllerHistory{};
        site.plans.push_back(planController(c, site.targets[i], site.readings[i], h, options));
    }
    return site;
}

int runPlanCommand(const LinkOptions &options, InterruptSignals &interrupts)
{
    QString error;
    const bool apply = options.command == QLatin1String(kApplyCommand);
    const auto parsed = parsePlanOptions(apply, options.args, &error);
    if (!parsed)
        return usageError(error);
    LinkOptions recording = options;
    if (!parsed->journal.isEmpty()) {
        if (options.noJournal || (!options.journal.isEmpty() && options.journal != parsed->journal))
            return usageError(QStringLiteral("give one journal"));
        recording.journal = parsed->journal;
    }
    std::unique_ptr<journal::Journal> journal;
    if (!openJournal(recording, journal))
        return kExitUsage;
    // A journal that cannot be written may still be read.
    std::unique_ptr<journal::Journal> readOnly;
    if (!journal && !recording.noJournal)
        readOnly =
            journal::Journal::open(journal::place(recording.journal).path, journal::Journal::Access::Read, &error);
    const journal::Journal *history = journal ? journal.get() : readOnly.get();
    const bool json = options.json || parsed->json;
    if (apply)
        return runApply(*parsed, json, interrupts, journal.get(), history);
    return runPlan(*parsed, json, interrupts, journal.get(), history);
}

} // namespace cli::plan
