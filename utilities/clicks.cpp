#include "utilities/clicks.h"

#include "link/link.h"
#include "utilities/resultjson.h"

#include <utility>

namespace utilities {

namespace {
const QString kAccessLists = QStringLiteral("access-lists");
const QString kScheduleFiles = QStringLiteral("schedules");
const core::FileFilter kListOpenFilter{QStringLiteral("Text (*.txt);;All Files (*)"), QStringLiteral("txt"),
                                       QStringLiteral("download.txt"), kAccessLists};
const core::FileFilter kScheduleOpenFilter{QStringLiteral("Text (*.txt);;All Files (*)"), QStringLiteral("txt"),
                                           QStringLiteral("schedule.txt"), kScheduleFiles};
core::FileFilter saveFilter(const QString &kind)
{
    return {QStringLiteral("Text (*.txt)"), QStringLiteral("txt"), QString(), kind};
}

// The labels whose action names a file.
bool takesFile(int index)
{
    return index == DownloadAccessList || index == UploadAccessList || index == DownloadSchedules
        || index == UploadSchedules;
}

// What the journal calls each label's action: the command line's names.
constexpr std::pair<int, const char *> kOperationNames[] = {
    {GetFirmwareIdentification, "version"},
    {AdHocDelete, "id delete"},
    {AdHocAdd, "id add"},
    {SetControllerTime, "time set"},
    {GetControllerTime, "time get"},
    {ShowMemoryUsage, "memory"},
    {DownloadAccessList, "access download"},
    {UploadAccessList, "access upload"},
    {DownloadSchedules, "schedules download"},
    {UploadSchedules, "schedules upload"},
};

QString operationName(int index)
{
    for (const auto &[label, name] : kOperationNames)
        if (label == index)
            return QString::fromLatin1(name);
    return {};
}

// A failure on a closed link is one that never reached the controller.
journal::End ended(Outcome outcome, const Actions &actions, const QString &message, const QJsonObject &results = {})
{
    if (outcome == Outcome::Done)
        return {journal::Outcome::Ok, std::nullopt, {}, results};
    return {actions.link().isConnected() ? journal::Outcome::Failed : journal::Outcome::LinkNotOpened, std::nullopt,
            message, results};
}
} // namespace

ListOptions Clicks::listOptions() const
{
    return {.adHoc = m_model.adHoc, .includesSchedule = m_model.includesSchedule, .inclDeleted = m_model.inclDeleted};
}

// Never an ID: that one was added or deleted is all the journal may know.
journal::Operation Clicks::begin(int index, const QString &path) const
{
    QStringList options;
    QList<journal::File> files;
    const ListOptions list = listOptions();
    switch (index) {
    case SetControllerTime:
        options << QStringLiteral("--hours") << m_model.hours;
        if (!m_model.add)
            options << QStringLiteral("--subtract");
        break;
    case DownloadAccessList:
    case UploadAccessList:
        if (path.isEmpty())
            break;
        options << path;
        if (!list.adHoc)
            options << QStringLiteral("--sorted");
        if (list.includesSchedule)
            options << QStringLiteral("--schedule");
        if (index == UploadAccessList && list.inclDeleted)
            options << QStringLiteral("--include-deleted");
        files.append({journal::File::Role::AccessList, path, index == UploadAccessList});
        break;
    case DownloadSchedules:
    case UploadSchedules:
        if (path.isEmpty())
            break;
        options << path;
        files.append({journal::File::Role::Schedules, path, index == UploadSchedules});
        break;
    default:
        break;
    }
    return record(journal::onLink(m_actions.link(), operationName(index), options, files));
}

journal::Operation Clicks::record(const journal::Begin &begin) const
{
    if (!m_journal)
        return journal::Operation(nullptr, begin, m_note);
    return m_journal->begin(begin, m_note);
}

Clicks::Ran Clicks::run(int index, const Actions::Turn &turn, const QString &path)
{
    const auto learned = [](const auto &result, const auto &describe) {
        return Ran{result.outcome, result.outcome == Outcome::Done ? describe(result.value) : QJsonObject()};
    };
    const auto counted = [&](const Transfer &moved, const char *key) {
        return learned(moved, [key](qint64 count) { return countJson(key, count); });
    };
    switch (index) {
    case GetFirmwareIdentification:
        return learned(m_actions.getFirmwareIdentification(&turn), &versionJson);
    case AdHocDelete:
        return {m_actions.adHocDelete(m_model.adHocId, &turn)};
    case AdHocAdd:
        return {m_actions.adHocAdd(m_model.adHocId, &turn)};
    case SetControllerTime:
        return learned(m_actions.setControllerTime(m_model.hours, m_model.add, &turn), &timeSetJson);
    case GetControllerTime:
        return learned(m_actions.getControllerTime(&turn),
                       [](const QString &read) { return clockJson(read, QDateTime::currentDateTime()); });
    case ShowMemoryUsage:
        return learned(m_actions.showMemoryUsage(&turn), &memoryJson);
    case DownloadAccessList:
        return counted(m_actions.download_accesslist(path, listOptions(), &turn), "records");
    case UploadAccessList:
        return counted(m_actions.upload_accesslist(path, listOptions(), &turn), "records");
    case DownloadSchedules:
        return counted(m_actions.download_schedule(path, &turn), "schedules");
    case UploadSchedules:
        return counted(m_actions.upload_schedules(path, &turn), "schedules");
    default:
        // Headings and values: the wake-up only.
        return {Outcome::Done};
    }
}

Outcome Clicks::click(int index)
{
    const QString name = operationName(index);
    // A click while another action holds the link is refused without a
    // word, and without a record: nothing was done.
    if (!name.isEmpty() && m_actions.link().busy())
        return Outcome::Failed;
    // An action without a file is recorded before its turn wakes the
    // controller; a transfer once its file is chosen, within the turn.
    std::optional<journal::Operation> recorded;
    if (!name.isEmpty() && !takesFile(index))
        recorded.emplace(begin(index, {}));
    const Actions::Turn turn(m_actions);
    if (!turn) {
        if (!name.isEmpty() && !recorded)
            recorded.emplace(begin(index, {}));
        if (recorded)
            recorded->end(ended(Outcome::Failed, m_actions, m_actions.said()));
        return Outcome::Failed;
    }
    const std::optional<QString> path = takesFile(index) ? chooseFile(index) : QString();
    // A cancelled dialog leaves nothing sent but the wake-up.
    if (!path)
        return Outcome::Cancelled;
    if (takesFile(index))
        recorded.emplace(begin(index, *path));
    const Ran ran = run(index, turn, *path);
    if (recorded)
        recorded->end(ended(ran.outcome, m_actions, m_actions.said(), ran.results));
    return ran.outcome;
}

std::optional<QString> Clicks::chooseFile(int index) const
{
    const auto uploadFile = [this](const QString &title, const QString &kind) {
        return m_files.saveFile(title, saveFilter(kind), QStringLiteral("upload.txt"));
    };
    switch (index) {
    case DownloadAccessList:
        return m_files.openFile(QStringLiteral("Download Access List"), kListOpenFilter);
    case UploadAccessList:
        return uploadFile(QStringLiteral("Upload Access List"), kAccessLists);
    case DownloadSchedules:
        return m_files.openFile(QStringLiteral("Download Schedules"), kScheduleOpenFilter);
    default:
        return uploadFile(QStringLiteral("Upload Schedules"), kScheduleFiles);
    }
}

Outcome Clicks::hsTest()
{
    if (m_actions.link().busy())
        return Outcome::Failed;
    journal::Operation recorded = record(journal::onLink(m_actions.link(), QStringLiteral("hs test")));
    const Result<QString> tested = m_actions.download2();
    // Only its last word: the lines before it show scanned card IDs.
    recorded.end(ended(tested.outcome, m_actions, tested.value.section(QLatin1Char('\n'), -1)));
    return tested.outcome;
}

Outcome Clicks::writeSortedTestFile()
{
    const auto path = m_files.saveFile(QStringLiteral("Write Sorted Test File"), saveFilter(kAccessLists),
                                       QStringLiteral("accesssorted.txt"));
    if (!path)
        return Outcome::Cancelled;
    return m_actions.writeSortedTestFile(*path);
}

} // namespace utilities
