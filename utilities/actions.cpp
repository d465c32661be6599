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

Actions::Actions(wire::Link &link, UtilitiesSettings &settings, core::StatusLine &status, Fields &fields,
                 core::FileChooser &files, Clock pcClock)
    : m_link(link), m_settings(settings), m_status(status), m_fields(fields), m_files(files),
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
    if (!m_link.isConnected()) {
        status(kNotConnected);
        return Outcome::Failed;
    }
    // A click while another action holds the link is ignored: that action's
    // progress stays in the status line.
    wire::LinkClaim claim(m_link);
    if (!claim.claimed())
        return Outcome::Failed;
    BusyScope busy(onBusy);
    m_link.SendWakeup();
    switch (index) {
    case GetFirmwareIdentification:
        return getFirmwareIdentification();
    case AdHocDelete:
        return adHocDelete();
    case AdHocAdd:
        return adHocAdd();
    case SetControllerTime:
        return setControllerTime();
    case GetControllerTime:
        return getControllerTime();
    case ShowMemoryUsage:
        return showMemoryUsage();
    case DownloadAccessList:
        return download_accesslist();
    case UploadAccessList:
        return upload_accesslist();
    case DownloadSchedules:
        return download_schedule();
    case UploadSchedules:
        return upload_schedules();
    default:
        return Outcome::Done; // headings and values: the wake-up only
    }
}

Outcome Actions::getFirmwareIdentification()
{
    m_fields.setField(QStringLiteral("Text1(0)"), QString());
    QByteArray reply;
    if (exchange("V", reply) != Exchange::Reply) {
        status(kNoResponse);
        return Outcome::Failed;
    }
    status(QStringLiteral("Version received"));
    m_fields.setField(QStringLiteral("Text1(0)"), QString::fromLatin1(reply));
    return Outcome::Done;
}

// One ID added or deleted: a blank ID is refused before anything is sent;
// the controller answers with one letter for success.
Outcome Actions::singleId(const SingleIdTexts &texts)
{
    const QString id = m_settings.Text1_2;
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
    const std::optional<int> hours = parseHours(m_settings.Text2);
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

Outcome Actions::getControllerTime()
{
    m_fields.setField(QStringLiteral("Text1(1)"), QString());
    QByteArray reply;
    if (exchange("t", reply) != Exchange::Reply) {
        status(kNoResponse);
        return Outcome::Failed;
    }
    status(QStringLiteral("Time received"));
    m_fields.setField(QStringLiteral("Text1(1)"), formatControllerTime(reply));
    return Outcome::Done;
}

Outcome Actions::showMemoryUsage()
{
    QByteArray reply;
    if (exchange("z", reply) != Exchange::Reply) {
        status(kNoResponse);
        return Outcome::Failed;
    }
    status(QStringLiteral("Memory data received"));
    // Reply order: ad hoc avail/used, log avail/used, main avail/used.
    static const char *const kLabels[6] = {"Label1(12)", "Label1(13)", "Label1(14)",
                                           "Label1(16)", "Label1(15)", "Label1(17)"};
    const auto values = memoryFields(reply);
    for (size_t i = 0; i < values.size(); ++i)
        m_fields.setField(QString::fromLatin1(kLabels[i]), values[i]);
    return Outcome::Done;
}

Outcome Actions::download2()
{
    wire::LinkClaim claim(m_link);
    if (!claim.claimed())
        return Outcome::Failed;
    BusyScope busy(onBusy);
    const QString box = QStringLiteral("Text4");
    // The test talks to a TCP/IP controller only; on anything else there is
    // nobody to write to.
    if (!m_link.isTcp()) {
        m_fields.setField(box, QStringLiteral("HS test needs a TCP/IP link"));
        return Outcome::Failed;
    }
    if (!m_link.isConnected()) {
        m_fields.setField(box, kNotConnected);
        return Outcome::Failed;
    }
    QStringList shown;
    auto show = [&](const QString &line) {
        shown.append(line);
        m_fields.setField(box, shown.join(QLatin1Char('\n')));
    };
    for (int n = 1; n <= 999; ++n) {
        shown.clear();
        if (!m_link.write(hsTestRecord(n) + '\r')) {
            show(QStringLiteral("Transmit error"));
            return Outcome::Failed;
        }
        m_fields.setField(box, QString());
        for (;;) {
            const auto [reply, timedOut] = m_link.ReadReplyLine();
            if (timedOut) {
                show(QStringLiteral("timeout"));
                return Outcome::Failed;
            }
            if (reply == "A") {
                show(QString::fromLatin1(reply));
                break;
            }
            if (reply.startsWith('a')) {
                show(QStringLiteral("scan: ") + QString::fromLatin1(reply));
                continue;
            }
            show(QString::fromLatin1(reply));
            show(QStringLiteral("bad"));
            return Outcome::Failed;
        }
    }
    show(QStringLiteral("ok"));
    return Outcome::Done;
}

namespace {
const core::FileFilter kListOpenFilter{QStringLiteral("Text (*.txt);;All Files (*)"), QStringLiteral("txt"),
                                       QStringLiteral("download.txt")};
const core::FileFilter kScheduleOpenFilter{QStringLiteral("Text (*.txt);;All Files (*)"), QStringLiteral("txt"),
                                           QStringLiteral("schedule.txt")};
const core::FileFilter kSaveFilter{QStringLiteral("Text (*.txt)"), QStringLiteral("txt"), QString()};

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

Outcome Actions::download_accesslist()
{
    const auto path = m_files.openFile(QStringLiteral("Download Access List"), kListOpenFilter);
    if (!path)
        return Outcome::Cancelled;
    m_fields.setField(QStringLiteral("Label3"), pcTime());
    status(QString());
    const auto data = readWholeFile(*path);
    if (!data)
        return Outcome::Failed;
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
            return Outcome::Failed;
        case Exchange::TimedOut:
            status(QStringLiteral("Controller timeout"));
            return Outcome::Failed;
        case Exchange::Reply:
            break;
        }
        if (!reply.startsWith('A')) {
            status(QStringLiteral("Invalid response from controller 002"));
            return Outcome::Failed;
        }
    }
    m_fields.setField(QStringLiteral("Label4"), pcTime());
    status(core::signReserving(count) + QStringLiteral(" Records downloaded"));
    return Outcome::Done;
}

// Asks where an upload goes and opens the file there, before anything is
// sent: a file that cannot be created costs the controller nothing. Until
// commit the old file, if any, stays as it was, and nothing appears at all
// when the exchange fails before the records. Done when the file is ready.
Outcome Actions::openUploadFile(const QString &title, QSaveFile &file)
{
    const auto path = m_files.saveFile(title, kSaveFilter, QStringLiteral("upload.txt"));
    if (!path)
        return Outcome::Cancelled;
    file.setFileName(*path);
    if (!file.open(QIODevice::WriteOnly)) {
        status(fileProblem("Cannot create file", *path, file.errorString()));
        return Outcome::Failed;
    }
    return Outcome::Done;
}

Outcome Actions::upload_accesslist()
{
    QSaveFile file;
    if (const Outcome opened = openUploadFile(QStringLiteral("Upload Access List"), file); opened != Outcome::Done)
        return opened;
    const bool adHoc = m_settings.adHoc;
    QByteArray reply;
    if (!m_link.SendCommand("z")) {
        finish(file, false, m_status);
        return Outcome::Failed;
    }
    if (m_link.ReadReplyLine().timedOut) {
        finish(file, false, m_status);
        status(kNoResponse);
        return Outcome::Failed;
    }
    if (exchange(adHoc ? "ur" : "sr", reply) != Exchange::Reply) {
        finish(file, false, m_status);
        status(kNoResponse);
        return Outcome::Failed;
    }
    if (reply != "OK") {
        finish(file, false, m_status);
        status(QStringLiteral("invalid response from controller 004"));
        return Outcome::Failed;
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
            return Outcome::Failed;
        }
        if (isEndMarker(reply))
            return finish(file, true, m_status) ? Outcome::Done : Outcome::Failed;
        ++count;
        const auto line = uploadLine(reply, withSchedule, inclDeleted);
        if (!line)
            continue;
        if (!writeLine(file, *line, m_status))
            return Outcome::Failed;
        status(QStringLiteral("Records uploaded: ") + core::signReserving(count));
    }
}

Outcome Actions::download_schedule()
{
    const auto path = m_files.openFile(QStringLiteral("Download Schedules"), kScheduleOpenFilter);
    if (!path)
        return Outcome::Cancelled;
    status(QStringLiteral("Checking file - please wait"));
    // One read serves both passes, so the lines sent are the lines checked.
    const auto data = readWholeFile(*path);
    if (!data)
        return Outcome::Failed;
    const QByteArrayList lines = splitFileLines(*data);
    if (const int bad = firstInvalidScheduleLine(lines)) {
        status(QStringLiteral("Invalid data in file rec # ") + core::signReserving(bad));
        return Outcome::Failed;
    }
    QByteArray reply;
    switch (exchange("SC", reply)) {
    case Exchange::SendFailed:
        return Outcome::Failed;
    case Exchange::TimedOut:
        status(kNoResponse);
        return Outcome::Failed;
    case Exchange::Reply:
        break;
    }
    if (reply != "A") {
        status(QStringLiteral("Invalid response from controller 008"));
        return Outcome::Failed;
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
            return Outcome::Failed;
        case Exchange::TimedOut:
            status(QStringLiteral("Controller timeout"));
            return Outcome::Failed;
        case Exchange::Reply:
            break;
        }
        if (reply != "A") {
            status(QStringLiteral("Invalid response from controller 010"));
            return Outcome::Failed;
        }
    }
    status(core::signReserving(count) + QStringLiteral(" Records downloaded"));
    return Outcome::Done;
}

Outcome Actions::upload_schedules()
{
    QSaveFile file;
    if (const Outcome opened = openUploadFile(QStringLiteral("Upload Schedules"), file); opened != Outcome::Done)
        return opened;
    QByteArray reply;
    for (int schedule = 1; schedule <= kSchedules; ++schedule) {
        const Exchange e = exchange(scheduleReadCommand(schedule), reply);
        if (e != Exchange::Reply) {
            // The schedules read so far stay in the file (not when closing).
            if (e == Exchange::TimedOut)
                status(kNoResponse);
            finish(file, !m_link.waiter().quitting(), m_status);
            return Outcome::Failed;
        }
        for (const QByteArray &line : scheduleFileLines(schedule, reply))
            if (!writeLine(file, line, m_status))
                return Outcome::Failed;
        status(QStringLiteral("Schedules uploaded: ") + core::signReserving(schedule));
    }
    return finish(file, true, m_status) ? Outcome::Done : Outcome::Failed;
}

Outcome Actions::writeSortedTestFile()
{
    const auto path =
        m_files.saveFile(QStringLiteral("Write Sorted Test File"), kSaveFilter, QStringLiteral("accesssorted.txt"));
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
    return finish(file, true, m_status) ? Outcome::Done : Outcome::Failed;
}

} // namespace utilities
