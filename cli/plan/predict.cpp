#include "cli/plan/predict.h"

#include "config/commands.h"
#include "flash/download.h"

#include <cmath>

namespace cli::plan {

namespace {
constexpr qint32 kDeviceServerBaud = 9600;
constexpr double kBitsPerByte = 10;
// A command's carriage return and a short acknowledgement ("OK" and its own).
constexpr qint64 kPerCommand = 1 + 3;
// The wake-up, "x" and "V" with their replies, a version reply at its longest.
constexpr qint64 kHandshake = 2 + 2 + 4 + 2 + 45;
// What "V" and "t" exchange when a download or a set is checked.
constexpr qint64 kVersionRead = 2 + 2 + 45;
constexpr qint64 kClockSetAndRead = 2 + 15 + 3 + 2 + 2 + 13;
// A list's upload: "z" with its 30 digits, "ur" with "OK", and the "END".
constexpr qint64 kListReadFrame = 2 + 31 + 3 + 3 + 2 + 4;
// Each record: "u" and the reply's schedule and carriage return.
constexpr qint64 kPerRecordRead = 2 + 3 + 1;
// Each downloaded record's carriage return and "A" with its own.
constexpr qint64 kPerRecordSent = 1 + 2;
// "R" with the ID's carriage return, and "D" with its own.
constexpr qint64 kPerDelete = 2 + 2;
// "SC" and its "A"; each entry's "SA", 12 digits and the carriage return, and "A".
constexpr qint64 kScheduleClear = 3 + 2;
constexpr qint64 kPerScheduleSent = 2 + 12 + 1 + 2;
// The 200 "SR" with their 64-digit replies.
constexpr qint64 kScheduleRead = qint64{200} * (6 + 65);

double lineSeconds(const ::fleet::Controller &controller, qint64 bytes)
{
    return static_cast<double>(bytes) * kBitsPerByte / lineRate(controller);
}
} // namespace

const QString kPredictionsAssume =
    QStringLiteral("Times assume the controller's line rate (a serial row's baud; 9600 behind a TCP link), 10 bits "
                   "a byte, answers without delay and no retries; a download adds its pause after the break-in.");

qint32 lineRate(const ::fleet::Controller &controller)
{
    const wire::Endpoint &link = controller.endpoint;
    return link.traits().rateIsOurs ? link.baud() : kDeviceServerBaud;
}

double firmwareSeconds(const ::fleet::Controller &controller, qint64 imageBytes)
{
    const flash::Variant v = flash::variantFor(flash::Kind::Flash, controller.endpoint.traits());
    const auto download = flash::expectedDuration(v, imageBytes, lineRate(controller));
    return std::chrono::duration<double>(download).count() + lineSeconds(controller, kVersionRead);
}

double profileSeconds(const ::fleet::Controller &controller, const config::Settings &settings)
{
    qint64 bytes = kHandshake;
    for (const config::CommandStep &step : config::commandSequence())
        if (const auto command = step.build(settings, false))
            bytes += command->size() + kPerCommand;
    return lineSeconds(controller, bytes);
}

double clockSeconds(const ::fleet::Controller &controller) { return lineSeconds(controller, kClockSetAndRead); }

double accessDownloadSeconds(const ::fleet::Controller &controller, qint64 lines, qint64 recordBytes)
{
    return lineSeconds(controller, recordBytes + lines * kPerRecordSent);
}

double accessReadSeconds(const ::fleet::Controller &controller, qint64 records, qint64 idBytes)
{
    return lineSeconds(controller, kListReadFrame + records * (kPerRecordRead + idBytes));
}

double deleteSeconds(const ::fleet::Controller &controller, qint64 idBytes)
{
    return lineSeconds(controller, kPerDelete + idBytes);
}

double schedulesDownloadSeconds(const ::fleet::Controller &controller, qint64 entries)
{
    return lineSeconds(controller, kScheduleClear + entries * kPerScheduleSent);
}

double schedulesReadSeconds(const ::fleet::Controller &controller) { return lineSeconds(controller, kScheduleRead); }

QString durationText(double seconds)
{
    if (seconds < 1)
        return QStringLiteral("under 1 s");
    const auto whole = static_cast<qint64>(std::lround(seconds));
    if (whole < 60)
        return QStringLiteral("about %1 s").arg(whole);
    return QStringLiteral("about %1 min %2 s").arg(whole / 60).arg(whole % 60);
}

} // namespace cli::plan
