#include "utilities/clicks.h"

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
} // namespace

ListOptions Clicks::listOptions() const
{
    return {.adHoc = m_model.adHoc, .includesSchedule = m_model.includesSchedule, .inclDeleted = m_model.inclDeleted};
}

Outcome Clicks::click(int index)
{
    const Actions::Turn turn(m_actions);
    if (!turn)
        return Outcome::Failed;
    // A transfer's file is asked for within the turn: a cancelled dialog
    // leaves nothing sent but the wake-up.
    const auto withFile = [](const std::optional<QString> &path, const auto &transfer) {
        return path ? transfer(*path).outcome : Outcome::Cancelled;
    };
    const auto uploadFile = [this](const QString &title, const QString &kind) {
        return m_files.saveFile(title, saveFilter(kind), QStringLiteral("upload.txt"));
    };
    switch (index) {
    case GetFirmwareIdentification:
        return m_actions.getFirmwareIdentification(&turn).outcome;
    case AdHocDelete:
        return m_actions.adHocDelete(m_model.adHocId, &turn);
    case AdHocAdd:
        return m_actions.adHocAdd(m_model.adHocId, &turn);
    case SetControllerTime:
        return m_actions.setControllerTime(m_model.hours, m_model.add, &turn);
    case GetControllerTime:
        return m_actions.getControllerTime(&turn).outcome;
    case ShowMemoryUsage:
        return m_actions.showMemoryUsage(&turn).outcome;
    case DownloadAccessList:
        return withFile(m_files.openFile(QStringLiteral("Download Access List"), kListOpenFilter),
                        [&](const QString &path) { return m_actions.download_accesslist(path, listOptions(), &turn); });
    case UploadAccessList:
        return withFile(uploadFile(QStringLiteral("Upload Access List"), kAccessLists),
                        [&](const QString &path) { return m_actions.upload_accesslist(path, listOptions(), &turn); });
    case DownloadSchedules:
        return withFile(m_files.openFile(QStringLiteral("Download Schedules"), kScheduleOpenFilter),
                        [&](const QString &path) { return m_actions.download_schedule(path, &turn); });
    case UploadSchedules:
        return withFile(uploadFile(QStringLiteral("Upload Schedules"), kScheduleFiles),
                        [&](const QString &path) { return m_actions.upload_schedules(path, &turn); });
    default:
        // Headings and values: the wake-up only.
        return Outcome::Done;
    }
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
