#include "cli/plan/targets.h"

#include "cli/plan/predict.h"
#include "config/profile.h"
#include "core/controltext.h"
#include "core/inputfile.h"
#include "utilities/formats.h"
#include "utilities/lists.h"

#include <QFileInfo>

namespace cli::plan {

using ::fleet::Controller;

std::optional<Targets> TargetFiles::of(const Controller &c, bool lists, QString *error)
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
    if (lists && !d.access.isEmpty() && !accessTargets(c, t, error))
        return std::nullopt;
    if (lists && !d.schedules.isEmpty() && !schedulesTargets(c, t, error))
        return std::nullopt;
    return t;
}

std::optional<QByteArrayList> TargetFiles::lines(const QString &path, const core::InputKind &kind, const char *column,
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

bool TargetFiles::accessTargets(const Controller &c, Targets &t, QString *error)
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
                *error = QStringLiteral("access: line %1 of %2 is no record%3")
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

bool TargetFiles::schedulesTargets(const Controller &c, Targets &t, QString *error)
{
    const QString &path = c.desired.schedules;
    if (!m_lists.contains(path)) {
        const auto text = lines(path, core::kScheduleFile, "schedules", error);
        if (!text)
            return false;
        if (const int bad = utilities::firstInvalidScheduleLine(*text)) {
            *error =
                QStringLiteral("schedules: line %1 of %2 is not a schedule entry (SSSDHHMMhhmm)").arg(bad).arg(path);
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

} // namespace cli::plan
