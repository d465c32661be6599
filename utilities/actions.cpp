#include "utilities/actions.h"

#include "core/numbers.h"
#include "link/link.h"
#include "utilities/formats.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace utilities {

namespace {
// Tells the screen that an action holds the link, for as long as it does.
class BusyScope {
public:
    explicit BusyScope(const std::function<void(bool)> &onBusy) : m_onBusy(onBusy)
    {
        if (m_onBusy)
            m_onBusy(true);
    }
    ~BusyScope()
    {
        if (m_onBusy)
            m_onBusy(false);
    }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    const std::function<void(bool)> &m_onBusy;
};
} // namespace

Display &Display::none()
{
    static Display nothing;
    return nothing;
}

// What every action of a label does first, held for as long as the action
// runs: the link must be open and free, and the controller is woken. A click
// while another action holds the link is ignored: that action's progress
// stays in the status line.
class Actions::Turn {
public:
    explicit Turn(Actions &actions)
    {
        if (!actions.m_link.isConnected()) {
            actions.status(kNotConnected);
            return;
        }
        m_claim.emplace(actions.m_link);
        if (!m_claim->claimed())
            return;
        m_busy.emplace(actions.onBusy);
        actions.m_link.SendWakeup();
        m_held = true;
    }
    explicit operator bool() const { return m_held; }

private:
    std::optional<wire::LinkClaim> m_claim;
    std::optional<BusyScope> m_busy;
    bool m_held = false;
};

Actions::Actions(wire::Link &link, UtilitiesSettings &settings, core::StatusLine &status, core::FileChooser &files,
                 Display &display, Clock pcClock)
    : m_link(link), m_settings(settings), m_status(status), m_files(files), m_display(display),
      m_clock(std::move(pcClock))
{}

QString Actions::pcTime() const { return m_clock().toString(QStringLiteral("HH:mm:ss")); }

Actions::Exchange Actions::exchange(const QByteArray &command, QByteArray &reply)
{
    reply.clear();
    if (!m_link.SendCommand(command))
        return Exchange::SendFailed;
    wire::ReplyLine line = m_link.ReadReplyLine();
    reply = std::move(line.text);
    return line.timedOut ? Exchange::TimedOut : Exchange::Reply;
}

Outcome Actions::click(int index)
{
    switch (index) {
    case GetFirmwareIdentification:
        return getFirmwareIdentification().outcome;
    case AdHocDelete:
        return adHocDelete();
    case AdHocAdd:
        return adHocAdd();
    case SetControllerTime:
        return setControllerTime();
    case GetControllerTime:
        return getControllerTime().outcome;
    case ShowMemoryUsage:
        return showMemoryUsage().outcome;
    case DownloadAccessList:
        return download_accesslist().outcome;
    case UploadAccessList:
        return upload_accesslist().outcome;
    case DownloadSchedules:
        return download_schedule().outcome;
    case UploadSchedules:
        return upload_schedules().outcome;
    default: {
        // Headings and values: the wake-up only.
        const Turn turn(*this);
        return turn ? Outcome::Done : Outcome::Failed;
    }
    }
}

Result<QString> Actions::getFirmwareIdentification()
{
    const Turn turn(*this);
    if (!turn)
        return {};
    m_display.showIdentification(QString());
    QByteArray reply;
    if (exchange("V", reply) != Exchange::Reply) {
        status(kNoResponse);
        return {};
    }
    status(QStringLiteral("Version received"));
    Result<QString> identification{Outcome::Done, QString::fromLatin1(reply)};
    m_display.showIdentification(identification.value);
    return identification;
}

// One ID added or deleted: a blank ID is refused before anything is sent;
// the controller answers with one letter for success.
Outcome Actions::singleId(const SingleIdTexts &texts)
{
    const Turn turn(*this);
    if (!turn)
        return Outcome::Failed;
    const QString id = m_settings.adHocId;
    if (id.isEmpty()) {
        status(texts.blank);
        return Outcome::Failed;
    }
    QByteArray reply;
    switch (exchange(texts.prefix + id.toLatin1(), reply)) {
    case Exchange::SendFailed:
        return Outcome::Failed;
    case Exchange::TimedOut:
        status(kNoResponse);
        return Outcome::Failed;
    case Exchange::Reply:
        break;
    }
    const bool done = reply == texts.success;
    status(done ? texts.done : texts.notDone);
    return done ? Outcome::Done : Outcome::Failed;
}

Outcome Actions::adHocAdd()
{
    return singleId({"AN000", "A", QStringLiteral("ID to be added is blank"), QStringLiteral("ID added"),
                     QStringLiteral("ID not added")});
}

Outcome Actions::adHocDelete()
{
    return singleId({"R", "D", QStringLiteral("ID to be deleted is blank"), QStringLiteral("ID deleted"),
                     QStringLiteral("ID not found")});
}

Outcome Actions::setControllerTime()
{
    const Turn turn(*this);
    if (!turn)
        return Outcome::Failed;
    const std::optional<int> hours = parseHours(m_settings.hours);
    if (!hours) {
        status(QStringLiteral("Invalid hours to add/subtract"));
        return Outcome::Failed;
    }
    QByteArray reply;
    if (exchange(setTimeCommand(m_clock(), *hours, m_settings.add), reply) != Exchange::Reply) {
        status(kNoResponse);
        return Outcome::Failed;
    }
    const bool set = reply == "O";
    status(set ? QStringLiteral("Time set") : QStringLiteral("Time not set"));
    return set ? Outcome::Done : Outcome::Failed;
}

Result<QString> Actions::getControllerTime()
{
    const Turn turn(*this);
    if (!turn)
        return {};
    m_display.showControllerTime(QString());
    QByteArray reply;
    if (exchange("t", reply) != Exchange::Reply) {
        status(kNoResponse);
        return {};
    }
    status(QStringLiteral("Time received"));
    Result<QString> time{Outcome::Done, formatControllerTime(reply)};
    m_display.showControllerTime(time.value);
    return time;
}

Result<MemoryUsage> Actions::showMemoryUsage()
{
    const Turn turn(*this);
    if (!turn)
        return {};
    QByteArray reply;
    if (exchange("z", reply) != Exchange::Reply) {
        status(kNoResponse);
        return {};
    }
    status(QStringLiteral("Memory data received"));
    // Reply order: ad hoc avail/used, log avail/used, main avail/used.
    const auto f = memoryFields(reply);
    Result<MemoryUsage> usage{Outcome::Done, {f[0], f[1], f[2], f[3], f[4], f[5]}};
    m_display.showMemoryUsage(usage.value);
    return usage;
}

Result<QString> Actions::download2()
{
    wire::LinkClaim claim(m_link);
    if (!claim.claimed())
        return {};
    BusyScope busy(onBusy);
    QStringList shown;
    auto show = [&](const QString &line) {
        shown.append(line);
        m_display.showHsTest(shown.join(QLatin1Char('\n')));
    };
    auto end = [&](Outcome outcome, const QString &line) {
        show(line);
        return Result<QString>{outcome, shown.join(QLatin1Char('\n'))};
    };
    // The test talks to a TCP/IP controller only; on anything else there is
    // nobody to write to.
    if (!m_link.isTcp())
        return end(Outcome::Failed, QStringLiteral("HS test needs a TCP/IP link"));
    if (!m_link.isConnected())
        return end(Outcome::Failed, kNotConnected);
    for (int n = 1; n <= 999; ++n) {
        shown.clear();
        if (!m_link.write(hsTestRecord(n) + '\r'))
            return end(Outcome::Failed, QStringLiteral("Transmit error"));
        m_display.showHsTest(QString());
        for (;;) {
            const auto [reply, timedOut] = m_link.ReadReplyLine();
            if (timedOut)
                return end(Outcome::Failed, QStringLiteral("timeout"));
            if (reply == "A") {
                show(QString::fromLatin1(reply));
                break;
            }
            if (reply.startsWith('a')) {
                show(QStringLiteral("scan: ") + QString::fromLatin1(reply));
                continue;
            }
            show(QString::fromLatin1(reply));
            return end(Outcome::Failed, QStringLiteral("bad"));
        }
    }
    return end(Outcome::Done, QStringLiteral("ok"));
}

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

QString fileProblem(const char *what, const QString &path, const QString &reason)
{
    return QStringLiteral("%1 %2 (%3)").arg(QLatin1String(what), QDir::toNativeSeparators(path), reason);
}

// Closes a file being written: kept when commit, else thrown away. False,
// with the reason in the status line, when the data did not reach the disk.
bool finish(QSaveFile &file, bool commit, core::StatusLine &status)
{
    if (!commit) {
        file.cancelWriting();
        file.commit();
        return true;
    }
    if (file.commit())
        return true;
    status.setStatus(fileProblem("Cannot write file", file.fileName(), file.errorString()));
    return false;
}

bool writeLine(QSaveFile &file, const QByteArray &line, core::StatusLine &status)
{
    const QByteArray bytes = fileLine(line);
    if (file.write(bytes) == bytes.size())
        return true;
    status.setStatus(fileProblem("Cannot write file", file.fileName(), file.errorString()));
    file.cancelWriting();
    file.commit();
    return false;
}
} // namespace

std::optional<QByteArray> Actions::readWholeFile(const QString &path)
{
    // The whole file is read before the first record goes out, so that a file
    // that cannot be read sends nothing, and the lines sent are the lines
    // checked.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        status(fileProblem("Cannot open file", path, file.errorString()));
        return std::nullopt;
    }
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        status(fileProblem("Cannot read file", path, file.errorString()));
        return std::nullopt;
    }
    return data;
}

Transfer Actions::download_accesslist()
{
    const Turn turn(*this);
    if (!turn)
        return {};
    const auto path = m_files.openFile(QStringLiteral("Download Access List"), kListOpenFilter);
    if (!path)
        return {Outcome::Cancelled};
    m_display.showTransferStart(pcTime());
    status(QString());
    const auto data = readWholeFile(*path);
    if (!data)
        return {};
    const bool adHoc = m_settings.adHoc;
    const bool withSchedule = m_settings.includesSchedule;
    qint64 count = 0;
    QByteArray reply;
    for (const QByteArray &line : splitFileLines(*data)) {
        if (line.isEmpty())
            continue;
        ++count;
        status(QStringLiteral("Downloading record: ") + core::signReserving(count));
        switch (exchange(accessRecord(line, adHoc, withSchedule), reply)) {
        case Exchange::SendFailed:
            status(QStringLiteral("Transmit error"));
            return {};
        case Exchange::TimedOut:
            status(QStringLiteral("Controller timeout"));
            return {};
        case Exchange::Reply:
            break;
        }
        if (!reply.startsWith('A')) {
            status(QStringLiteral("Invalid response from controller 002"));
            return {};
        }
    }
    m_display.showTransferEnd(pcTime());
    status(core::signReserving(count) + QStringLiteral(" Records downloaded"));
    return {Outcome::Done, count};
}

// Asks where an upload goes and opens the file there, before anything is
// sent: a file that cannot be created costs the controller nothing. Until
// commit the old file, if any, stays as it was, and nothing appears at all
// when the exchange fails before the records. Done when the file is ready.
Outcome Actions::openUploadFile(const QString &title, const QString &kind, QSaveFile &file)
{
    const auto path = m_files.saveFile(title, saveFilter(kind), QStringLiteral("upload.txt"));
    if (!path)
        return Outcome::Cancelled;
    file.setFileName(*path);
    if (!file.open(QIODevice::WriteOnly)) {
        status(fileProblem("Cannot create file", *path, file.errorString()));
        return Outcome::Failed;
    }
    return Outcome::Done;
}

Transfer Actions::upload_accesslist()
{
    const Turn turn(*this);
    if (!turn)
        return {};
    QSaveFile file;
    if (const Outcome opened = openUploadFile(QStringLiteral("Upload Access List"), kAccessLists, file);
        opened != Outcome::Done)
        return {opened};
    const bool adHoc = m_settings.adHoc;
    QByteArray reply;
    if (!m_link.SendCommand("z")) {
        finish(file, false, m_status);
        return {};
    }
    if (m_link.ReadReplyLine().timedOut) {
        finish(file, false, m_status);
        status(kNoResponse);
        return {};
    }
    if (exchange(adHoc ? "ur" : "sr", reply) != Exchange::Reply) {
        finish(file, false, m_status);
        status(kNoResponse);
        return {};
    }
    if (reply != "OK") {
        finish(file, false, m_status);
        status(QStringLiteral("invalid response from controller 004"));
        return {};
    }
    const QByteArray next = adHoc ? "u" : "s";
    const bool withSchedule = m_settings.includesSchedule;
    const bool inclDeleted = m_settings.inclDeleted;
    qint64 count = 0;
    for (;;) {
        if (exchange(next, reply) != Exchange::Reply) {
            // The records read so far stay in the file, unless the program is
            // closing: then nothing half-written is left behind.
            const bool keep = !m_link.waiter().quitting();
            status(kNoResponse);
            finish(file, keep, m_status);
            return {};
        }
        if (isEndMarker(reply))
            return finish(file, true, m_status) ? Transfer{Outcome::Done, count} : Transfer{};
        ++count;
        const auto line = uploadLine(reply, withSchedule, inclDeleted);
        if (!line)
            continue;
        if (!writeLine(file, *line, m_status))
            return {};
        status(QStringLiteral("Records uploaded: ") + core::signReserving(count));
    }
}

Transfer Actions::download_schedule()
{
    const Turn turn(*this);
    if (!turn)
        return {};
    const auto path = m_files.openFile(QStringLiteral("Download Schedules"), kScheduleOpenFilter);
    if (!path)
        return {Outcome::Cancelled};
    status(QStringLiteral("Checking file - please wait"));
    // One read serves both passes, so the lines sent are the lines checked.
    const auto data = readWholeFile(*path);
    if (!data)
        return {};
    const QByteArrayList lines = splitFileLines(*data);
    if (const int bad = firstInvalidScheduleLine(lines)) {
        status(QStringLiteral("Invalid data in file rec # ") + core::signReserving(bad));
        return {};
    }
    QByteArray reply;
    switch (exchange("SC", reply)) {
    case Exchange::SendFailed:
        return {};
    case Exchange::TimedOut:
        status(kNoResponse);
        return {};
    case Exchange::Reply:
        break;
    }
    if (reply != "A") {
        status(QStringLiteral("Invalid response from controller 008"));
        return {};
    }
    qint64 count = 0;
    for (const QByteArray &line : lines) {
        ++count;
        if (line.isEmpty())
            continue;
        status(QStringLiteral("Downloading record: ") + core::signReserving(count));
        switch (exchange("SA" + line, reply)) {
        case Exchange::SendFailed:
            status(QStringLiteral("Transmit error"));
            return {};
        case Exchange::TimedOut:
            status(QStringLiteral("Controller timeout"));
            return {};
        case Exchange::Reply:
            break;
        }
        if (reply != "A") {
            status(QStringLiteral("Invalid response from controller 010"));
            return {};
        }
    }
    status(core::signReserving(count) + QStringLiteral(" Records downloaded"));
    return {Outcome::Done, count};
}

Transfer Actions::upload_schedules()
{
    const Turn turn(*this);
    if (!turn)
        return {};
    QSaveFile file;
    if (const Outcome opened = openUploadFile(QStringLiteral("Upload Schedules"), kScheduleFiles, file);
        opened != Outcome::Done)
        return {opened};
    QByteArray reply;
    for (int schedule = 1; schedule <= kSchedules; ++schedule) {
        const Exchange e = exchange(scheduleReadCommand(schedule), reply);
        if (e != Exchange::Reply) {
            // The schedules read so far stay in the file (not when closing).
            if (e == Exchange::TimedOut)
                status(kNoResponse);
            finish(file, !m_link.waiter().quitting(), m_status);
            return {};
        }
        for (const QByteArray &line : scheduleFileLines(schedule, reply))
            if (!writeLine(file, line, m_status))
                return {};
        status(QStringLiteral("Schedules uploaded: ") + core::signReserving(schedule));
    }
    return finish(file, true, m_status) ? Transfer{Outcome::Done, kSchedules} : Transfer{};
}

Outcome Actions::writeSortedTestFile()
{
    const auto path = m_files.saveFile(QStringLiteral("Write Sorted Test File"), saveFilter(kAccessLists),
                                       QStringLiteral("accesssorted.txt"));
    if (!path)
        return Outcome::Cancelled;
    QSaveFile file(*path);
    if (!file.open(QIODevice::WriteOnly)) {
        status(fileProblem("Cannot create file", *path, file.errorString()));
        return Outcome::Failed;
    }
    const QByteArray data = sortedTestFile();
    if (file.write(data) != data.size()) {
        status(fileProblem("Cannot write file", *path, file.errorString()));
        file.cancelWriting();
        file.commit();
        return Outcome::Failed;
    }
    if (!finish(file, true, m_status))
        return Outcome::Failed;
    status(QStringLiteral("Sorted test file written to ") + QDir::toNativeSeparators(*path));
    return Outcome::Done;
}

} // namespace utilities
