#include "cli/plan/planrun.h"

#include "cli/context.h"
#include "cli/fleet/runner.h"
#include "cli/fleet/site.h"
#include "cli/options.h"
#include "cli/plan/plancommand.h"
#include "cli/plan/planview.h"
#include "cli/plan/predict.h"
#include "cli/recording.h"
#include "config/profile.h"
#include "core/controltext.h"
#include "core/inputfile.h"
#include "journal/journal.h"
#include "journal/place.h"
#include "utilities/formats.h"
#include "utilities/lists.h"

#include <QFileInfo>
#include <QHash>

namespace cli::plan {

namespace {
using ::fleet::Controller;
using fleet::Runner;

// Reads each controller once: its firmware identification, its clock, and
// its managed lists.
class ReadDriver final : public Runner::Driver {
public:
    // lists: the managed lists are read too, hashed with hashKey.
    ReadDriver(const std::vector<Controller> &controllers, std::vector<Reading> &readings, bool lists,
               const QStringList &hashKey)
        : m_controllers(controllers), m_readings(readings), m_lists(lists), m_hashKey(hashKey)
    {}
    Runner::Next start(std::size_t index) override
    {
        return Runner::run(QStringList{QStringLiteral("--json")} + m_controllers[index].linkArguments()
                           + QStringList{QStringLiteral("inspect")}
                           + listReadArguments(m_controllers[index].desired, m_hashKey, m_lists, m_lists));
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

// What a controller's desired files give; a file's figures are learned once
// however many rows name it.
class TargetFiles {
public:
    std::optional<Targets> of(const Controller &c, QString *error)
    {
        const ::fleet::DesiredState &d = c.desired;
        Targets t;
        if (!d.profile.isEmpty()) {
            if (!m_settings.contains(d.profile)) {
                const config::ProfileRead read = config::readProfile(d.profile);
                if (const auto *problem = std::get_if<config::ProfileError>(&read)) {
                    *error = QStringLiteral("desired_profile: ") + problem->text();
                    return std::nullopt;
                }
                m_settings.insert(d.profile, std::get<config::Settings>(read));
            }
            const config::Settings &settings = m_settings[d.profile];
            t.settingsHash = config::settingsHash(settings);
            t.profileSeconds = profileSeconds(c, settings);
        }
        if (!d.firmware.isEmpty()) {
            // A download needs a regular file within the limit of an image.
            const QFileInfo image(d.firmware);
            if (!image.isFile() || image.size() > core::kImageFile.maxBytes) {
                *error = QStringLiteral("firmware: %1 is not an image file of at most %2 MiB")
                             .arg(d.firmware)
                             .arg(core::kImageFile.maxBytes / core::kMiB);
                return std::nullopt;
            }
            t.firmwareSeconds = firmwareSeconds(c, image.size());
        }
        if (d.clockTolerance)
            t.clockSeconds = clockSeconds(c);
        if (!d.access.isEmpty() && !accessTargets(c, t, error))
            return std::nullopt;
        if (!d.schedules.isEmpty() && !schedulesTargets(c, t, error))
            return std::nullopt;
        return t;
    }

private:
    // What a file holds, counted once however many rows name it.
    struct ListFile {
        qint64 lines = 0;       // non-empty ones: the records a download sends
        qint64 recordBytes = 0; // of those records as sent
        qint64 records = 0;     // as the download leaves them
    };

    std::optional<QByteArrayList> lines(const QString &path, const core::InputKind &kind, const char *column,
                                        QString *error)
    {
        QString why;
        const auto data = core::readInputFile(path, kind, &why);
        if (!data) {
            *error = QStringLiteral("%1: cannot read %2: %3").arg(QLatin1String(column), path, why);
            return std::nullopt;
        }
        return utilities::splitFileLines(*data);
    }

    bool accessTargets(const Controller &c, Targets &t, QString *error)
    {
        const ::fleet::DesiredState &d = c.desired;
        const QString key = d.access + (d.accessSchedule ? QStringLiteral("|schedule") : QString())
            + (d.accessSorted ? QStringLiteral("|sorted") : QString());
        if (!m_lists.contains(key)) {
            const auto text = lines(d.access, core::kAccessListFile, "access", error);
            if (!text)
                return false;
            ListFile f;
            for (qsizetype n = 0; n < text->size(); ++n) {
                const QByteArray &line = text->at(n);
                if (line.isEmpty())
                    continue;
                // A download refuses such a line, and one without an ID stores nothing to compare.
                if (core::firstControlCharacter(line) >= 0 || (d.accessSchedule && line.size() < 4)) {
                    *error =
                        QStringLiteral("access: line %1 of %2 is no record%3")
                            .arg(n + 1)
                            .arg(d.access, d.accessSchedule ? QStringLiteral(" (a schedule and an ID)") : QString());
                    return false;
                }
                ++f.lines;
                f.recordBytes += utilities::accessRecord(line, !d.accessSorted, d.accessSchedule).size();
            }
            f.records = static_cast<qint64>(utilities::listOfFile(*text, d.accessSchedule).size());
            m_lists.insert(key, f);
        }
        const ListFile &f = m_lists[key];
        // The controller's list is taken to be about the file's.
        const qint64 idBytes = f.lines > 0 ? f.recordBytes / f.lines - 2 - 11 : 0;
        t.accessRecords = f.records;
        t.accessReadSeconds = accessReadSeconds(c, f.records, idBytes);
        t.accessSeconds = accessDownloadSeconds(c, f.lines, f.recordBytes) + t.accessReadSeconds;
        t.pruneSecondsEach = deleteSeconds(c, idBytes);
        return true;
    }

    bool schedulesTargets(const Controller &c, Targets &t, QString *error)
    {
        const QString &path = c.desired.schedules;
        if (!m_lists.contains(path)) {
            const auto text = lines(path, core::kScheduleFile, "schedules", error);
            if (!text)
                return false;
            if (const int bad = utilities::firstInvalidScheduleLine(*text)) {
                *error = QStringLiteral("schedules: line %1 of %2 is not a schedule entry (SSSDHHMMhhmm)")
                             .arg(bad)
                             .arg(path);
                return false;
            }
            ListFile f;
            for (const QByteArray &line : *text)
                f.lines += line.isEmpty() ? 0 : 1;
            m_lists.insert(path, f);
        }
        t.schedulesReadSeconds = schedulesReadSeconds(c);
        t.schedulesSeconds = schedulesDownloadSeconds(c, m_lists[path].lines) + t.schedulesReadSeconds;
        return true;
    }

    QHash<QString, config::Settings> m_settings;
    QHash<QString, ListFile> m_lists;
};

int runPlan(const PlanOptions &options, bool json, InterruptSignals &interrupts, journal::Journal *journal,
            const journal::Journal *history)
{
    const auto planned = planSite(options, interrupts, journal, history, fleet::newRunId());
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

int usageError(const QString &text)
{
    StdoutSinks::error(text);
    StdoutSinks::error(usageText());
    return kExitUsage;
}

std::variant<Site, int> planSite(const PlanOptions &options, InterruptSignals &interrupts, journal::Journal *journal,
                                 const journal::Journal *history, const QString &runId)
{
    const auto inventory = fleet::readSite(options.inventory, interrupts);
    if (!inventory)
        return kExitInterrupted;
    if (!inventory->error.isEmpty())
        return usageError(inventory->error);
    Site site;
    site.runId = runId;
    QString error;
    site.controllers = fleet::selectControllers(*inventory, options.only, &error);
    TargetFiles files;
    for (const Controller &c : site.controllers) {
        if (!error.isEmpty())
            break;
        if (auto t = files.of(c, &error))
            site.targets.push_back(*t);
        else
            error = QStringLiteral("%1: inventory line %2: %3").arg(options.inventory).arg(c.line).arg(error);
    }
    if (error.isEmpty())
        error = fleet::raiseFileLimit(std::min(options.parallel, static_cast<int>(site.controllers.size())));
    if (!error.isEmpty())
        return usageError(error);

    for (const Controller &c : site.controllers)
        site.members.push_back({c.name, c.linkKeys()});
    site.readings.resize(site.controllers.size());
    if (history)
        if (const QString key = journal::keyPath(history->path()); QFileInfo::exists(key))
            site.hashKey = QStringList{QStringLiteral("--hash-key"), key};
    if (!options.skipLists)
        warnLongReads(site);
    fleet::Runner runner(site.members, options.parallel, journal, runId);
    ReadDriver reads(site.controllers, site.readings, !options.skipLists, site.hashKey);
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
