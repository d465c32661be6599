#include "utilities/actions.h"

#include "core/controltext.h"
#include "core/numbers.h"
#include "core/safewrite.h"
#include "link/link.h"
#include "utilities/formats.h"

#include <QDir>

namespace utilities {

Actions::BusyScope::BusyScope(const std::function<void(bool)> &onBusy) : m_onBusy(onBusy)
{
    if (m_onBusy)
        m_onBusy(true);
}

Actions::BusyScope::~BusyScope()
{
    if (m_onBusy)
        m_onBusy(false);
}

Display &Display::none()
{
    static Display nothing;
    return nothing;
}

Actions::Turn::Turn(Actions &actions, const Turn *within)
{
    if (within) {
        m_held = within->m_held;
        return;
    }
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

Actions::Actions(wire::Link &link, core::StatusLine &status, Display &display, Clock pcClock)
    : m_link(link), m_status(status), m_display(display), m_clock(std::move(pcClock))
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

Result<QString> Actions::getFirmwareIdentification(const Turn *within)
{
    const Turn turn(*this, within);
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
Outcome Actions::singleId(const QString &id, const SingleIdTexts &texts, const Turn *within)
{
    const Turn turn(*this, within);
    if (!turn)
        return Outcome::Failed;
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

Outcome Actions::adHocAdd(const QString &id, const Turn *within)
{
    return singleId(id,
                    {"AN000", "A", QStringLiteral("ID to be added is blank"), QStringLiteral("ID added"),
                     QStringLiteral("ID not added")},
                    within);
}

Outcome Actions::adHocDelete(const QString &id, const Turn *within)
{
    return singleId(id,
                    {"R", "D", QStringLiteral("ID to be deleted is blank"), QStringLiteral("ID deleted"),
                     QStringLiteral("ID not found")},
                    within);
}

Result<QString> Actions::setControllerTime(const QString &hoursText, bool add, const Turn *within)
{
    const Turn turn(*this, within);
    if (!turn)
        return {};
    const std::optional<int> hours = parseHours(hoursText);
    if (!hours) {
        status(QStringLiteral("Invalid hours to add/subtract"));
        return {};
    }
    const QByteArray command = setTimeCommand(m_clock(), *hours, add);
    QByteArray reply;
    if (exchange(command, reply) != Exchange::Reply) {
        status(kNoResponse);
        return {};
    }
    const bool set = reply == "O";
    status(set ? QStringLiteral("Time set") : QStringLiteral("Time not set"));
    if (!set)
        return {};
    return {Outcome::Done, formatControllerTime(command.mid(1))};
}

Result<QString> Actions::getControllerTime(const Turn *within)
{
    const Turn turn(*this, within);
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

Result<MemoryUsage> Actions::showMemoryUsage(const Turn *within)
{
    const Turn turn(*this, within);
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
    if (!m_link.traits().carriesTransferTest)
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
QString fileProblem(const char *what, const QString &path, const QString &reason)
{
    return QStringLiteral("%1 %2 (%3)").arg(QLatin1String(what), QDir::toNativeSeparators(path), reason);
}
} // namespace

std::optional<QByteArray> Actions::readWholeFile(const QString &path, const core::InputKind &kind)
{
    // The whole file is read before the first record goes out, so that a file
    // that cannot be read sends nothing, and the lines sent are the lines
    // checked.
    QString why;
    std::optional<QByteArray> data = core::readInputFile(path, kind, &why, m_link.waiter().readWait());
    if (!data)
        status(fileProblem("Cannot read file", path, why));
    return data;
}

Transfer Actions::download_accesslist(const QString &path, const ListOptions &options, const Turn *within)
{
    const Turn turn(*this, within);
    if (!turn)
        return {};
    m_display.showTransferStart(pcTime());
    m_display.showNote(QString());
    status(QString());
    const auto data = readWholeFile(path, core::kAccessListFile);
    if (!data)
        return {Outcome::Refused};
    const QByteArrayList lines = splitFileLines(*data);
    // Lines go out unchecked but for control characters: those would change
    // the command a line becomes, or start another.
    for (qsizetype n = 0; n < lines.size(); ++n) {
        if (core::firstControlCharacter(lines.at(n)) >= 0) {
            status(QStringLiteral("Invalid data in file rec # ") + core::signReserving(n + 1));
            return {};
        }
    }
    qint64 count = 0;
    QByteArray reply;
    for (const QByteArray &line : lines) {
        if (line.isEmpty())
            continue;
        ++count;
        status(QStringLiteral("Downloading record: ") + core::signReserving(count));
        switch (exchange(accessRecord(line, options.adHoc, options.includesSchedule), reply)) {
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

// Opens a file beside the upload's own for the records, before anything is
// sent: a file that cannot be created costs the controller nothing. Done
// when the file is ready.
Outcome Actions::openUploadFile(const QString &path, core::SafeFile &file)
{
    m_display.showNote(QString());
    if (!file.open(path)) {
        status(fileProblem("Cannot create file", path, file.reason()));
        return Outcome::Failed;
    }
    return Outcome::Done;
}

bool Actions::writeUploadLine(core::SafeFile &file, const QByteArray &line)
{
    if (file.write(fileLine(line)))
        return true;
    status(fileProblem("Cannot write file", file.path(), file.reason()));
    return false;
}

// A transfer that ran to its end replaces the file. One that failed leaves a
// file that was there as it was and keeps the records received so far beside
// it in FILE.partial; where there was no file, they go into it. Closing the
// program leaves nothing half-written.
bool Actions::endUpload(core::SafeFile &file, bool complete)
{
    if (!complete && m_link.waiter().quitting())
        return false;
    if (!complete && file.existed()) {
        if (file.written() == 0)
            return false;
        const QString partial = file.path() + QStringLiteral(".partial");
        if (!file.commitAs(partial)) {
            status(fileProblem("Cannot write file", partial, file.reason()));
            return false;
        }
        m_display.showNote(QStringLiteral("The records received so far are in %1; %2 is as it was")
                               .arg(QDir::toNativeSeparators(partial), QDir::toNativeSeparators(file.path())));
        return false;
    }
    if (!file.commit()) {
        status(fileProblem("Cannot write file", file.path(), file.reason()));
        return false;
    }
    return complete;
}

// An upload's records as the lines of its file.
class Actions::UploadFile final : public RecordConsumer {
public:
    using Line = std::function<std::optional<QByteArray>(const QByteArray &record)>;
    UploadFile(Actions &actions, Line line) : m_actions(actions), m_line(std::move(line)) {}
    Outcome open(const QString &path) { return m_actions.openUploadFile(path, m_file); }
    Take take(const QByteArray &record) override
    {
        const auto line = m_line(record);
        if (!line)
            return Take::Skipped;
        return m_actions.writeUploadLine(m_file, *line) ? Take::Kept : Take::Failed;
    }
    bool finish(bool complete) override { return m_actions.endUpload(m_file, complete); }

private:
    Actions &m_actions;
    core::SafeFile m_file;
    Line m_line;
};

Transfer Actions::upload_accesslist(const QString &path, const ListOptions &options, const Turn *within)
{
    const Turn turn(*this, within);
    if (!turn)
        return {};
    UploadFile file(*this, [&options](const QByteArray &reply) {
        return uploadLine(reply, options.includesSchedule, options.inclDeleted);
    });
    if (const Outcome opened = file.open(path); opened != Outcome::Done)
        return {opened};
    return upload_accesslist(options.adHoc, file, &turn);
}

Transfer Actions::upload_accesslist(bool adHoc, RecordConsumer &records, const Turn *within)
{
    const Turn turn(*this, within);
    if (!turn)
        return {};
    QByteArray reply;
    // Until the list starts nothing is taken.
    if (!m_link.SendCommand("z"))
        return {};
    if (m_link.ReadReplyLine().timedOut) {
        status(kNoResponse);
        return {};
    }
    if (exchange(adHoc ? "ur" : "sr", reply) != Exchange::Reply) {
        status(kNoResponse);
        return {};
    }
    if (reply != "OK") {
        status(QStringLiteral("invalid response from controller 004"));
        return {};
    }
    const QByteArray next = adHoc ? "u" : "s";
    qint64 count = 0;
    for (;;) {
        if (exchange(next, reply) != Exchange::Reply) {
            status(kNoResponse);
            records.finish(false);
            return {};
        }
        if (isEndMarker(reply))
            return records.finish(true) ? Transfer{Outcome::Done, count} : Transfer{};
        ++count;
        switch (records.take(reply)) {
        case RecordConsumer::Take::Skipped:
            continue;
        case RecordConsumer::Take::Failed:
            return {};
        case RecordConsumer::Take::Kept:
            break;
        }
        status(QStringLiteral("Records uploaded: ") + core::signReserving(count));
    }
}

Transfer Actions::download_schedule(const QString &path, const Turn *within)
{
    const Turn turn(*this, within);
    if (!turn)
        return {};
    m_display.showNote(QString());
    status(QStringLiteral("Checking file - please wait"));
    // One read serves both passes, so the lines sent are the lines checked.
    const auto data = readWholeFile(path, core::kScheduleFile);
    if (!data)
        return {Outcome::Refused};
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

Transfer Actions::upload_schedules(const QString &path, const Turn *within)
{
    const Turn turn(*this, within);
    if (!turn)
        return {};
    UploadFile file(*this, [](const QByteArray &line) { return line; });
    if (const Outcome opened = file.open(path); opened != Outcome::Done)
        return {opened};
    return upload_schedules(file, &turn);
}

Transfer Actions::upload_schedules(RecordConsumer &records, const Turn *within)
{
    const Turn turn(*this, within);
    if (!turn)
        return {};
    QByteArray reply;
    for (int schedule = 1; schedule <= kSchedules; ++schedule) {
        const Exchange e = exchange(scheduleReadCommand(schedule), reply);
        if (e != Exchange::Reply) {
            // A failed send stops without a word.
            if (e == Exchange::TimedOut)
                status(kNoResponse);
            records.finish(false);
            return {};
        }
        for (const QByteArray &line : scheduleFileLines(schedule, reply))
            if (records.take(line) == RecordConsumer::Take::Failed)
                return {};
        status(QStringLiteral("Schedules uploaded: ") + core::signReserving(schedule));
    }
    return records.finish(true) ? Transfer{Outcome::Done, kSchedules} : Transfer{};
}

Outcome Actions::writeSortedTestFile(const QString &path)
{
    core::SafeFile file;
    if (!file.open(path)) {
        status(fileProblem("Cannot create file", path, file.reason()));
        return Outcome::Failed;
    }
    if (!file.write(sortedTestFile()) || !file.commit()) {
        status(fileProblem("Cannot write file", path, file.reason()));
        return Outcome::Failed;
    }
    status(QStringLiteral("Sorted test file written to ") + QDir::toNativeSeparators(path));
    return Outcome::Done;
}

} // namespace utilities
