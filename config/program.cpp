#include "config/program.h"

#include "config/commands.h"
#include "config/profile.h"
#include "config/validate.h"
#include "link/link.h"

#include <QJsonArray>

#include <charconv>
#include <cmath>

namespace config {

namespace {

// The power of ten of a number's first significant digit ("123" 2, "0.05"
// -2, "5e-3" -3), for numbers beyond a double's range; such a number has a
// significant digit. Clamped far beyond what any double can hold.
qint64 decimalOrder(const QByteArray &number)
{
    constexpr qint64 kFar = qint64{1} << 40;
    const qsizetype e = number.indexOf('e');
    const QByteArray mantissa = e < 0 ? number : number.left(e);
    qsizetype point = mantissa.indexOf('.');
    if (point < 0)
        point = mantissa.size();
    qsizetype first = 0;
    while (first < mantissa.size() && (mantissa.at(first) < '1' || mantissa.at(first) > '9'))
        ++first;
    if (first == mantissa.size())
        return -kFar; // zero
    qint64 order = first < point ? point - first - 1 : point - first;
    if (e >= 0) {
        QByteArray exponent = number.mid(e + 1);
        if (exponent.startsWith('+'))
            exponent.remove(0, 1);
        qint64 shift = 0;
        const auto [end, ec] = std::from_chars(exponent.constData(), exponent.constData() + exponent.size(), shift);
        (void)end;
        if (ec != std::errc() || shift > kFar || shift < -kFar)
            shift = exponent.startsWith('-') ? -kFar : kFar;
        order += shift;
    }
    return order;
}

} // namespace

std::optional<qint16> leadingNumber16(const QByteArray &text)
{
    QByteArray t;
    t.reserve(text.size());
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n')
            t.append(c);

    auto isDigit = [&t](qsizetype i) { return i < t.size() && t.at(i) >= '0' && t.at(i) <= '9'; };
    qsizetype i = 0;
    QByteArray number;
    if (i < t.size() && (t.at(i) == '+' || t.at(i) == '-'))
        number.append(t.at(i++));
    bool any = false;
    while (isDigit(i)) {
        number.append(t.at(i++));
        any = true;
    }
    if (i < t.size() && t.at(i) == '.') {
        number.append(t.at(i++));
        while (isDigit(i)) {
            number.append(t.at(i++));
            any = true;
        }
    }
    if (!any)
        return 0;
    if (i < t.size() && (t.at(i) == 'E' || t.at(i) == 'e' || t.at(i) == 'D' || t.at(i) == 'd')) {
        qsizetype j = i + 1;
        QByteArray exponent = "e";
        if (j < t.size() && (t.at(j) == '+' || t.at(j) == '-'))
            exponent.append(t.at(j++));
        if (isDigit(j)) {
            while (isDigit(j))
                exponent.append(t.at(j++));
            number += exponent;
        }
    }
    if (number.startsWith('+'))
        number.remove(0, 1); // from_chars takes no plus sign
    double value = 0;
    const auto [end, ec] = std::from_chars(number.constData(), number.constData() + number.size(), value);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        // Far too large is outside 16 bits; far too small rounds to 0.
        if (decimalOrder(number) >= 0)
            return std::nullopt;
        return 0;
    }
    if (ec != std::errc())
        return 0;
    // Ties go to the even neighbour, as the controller tools have always rounded.
    const double rounded = std::nearbyint(value);
    if (!std::isfinite(rounded) || rounded < -32768.0 || rounded > 32767.0)
        return std::nullopt;
    return static_cast<qint16>(rounded);
}

namespace {

// A step of the run either ends it with its outcome or gives nothing, and the
// run goes on.
using Ending = std::optional<RunOutcome>;

core::Pane &paneOf(ProgramContext &c, PaneId id)
{
    return id == PaneId::Picture1 ? c.panes.picture1() : c.panes.picture2();
}

QString shown(const QByteArray &bytes) { return QString::fromLatin1(bytes); }

// A reply that never came: its error line, unless the program is closing,
// which unwinds without a word.
RunOutcome missedReply(ProgramContext &c, core::Pane &pane, const QString &errorText, RunOutcome outcome)
{
    if (c.link.waiter().quitting())
        return RunOutcome::Quit;
    pane.append(errorText);
    c.stopped = errorText;
    return outcome;
}

Ending wakeController(ProgramContext &c)
{
    if (!c.link.SendWakeup())
        return RunOutcome::SendFailed;
    return std::nullopt;
}

// What the ID-size handshake settled: an ending, or whether the operator
// accepted a change of the controller's ID size (which sends the size).
struct IdSizeAgreement {
    Ending ending;
    bool change = false;
};

IdSizeAgreement agreeIdSize(ProgramContext &c, const Settings &approved)
{
    wire::Link &link = c.link;
    // A failed send shows as the missing reply.
    link.SendCommand("x");
    const wire::ReplyLine reply = link.ReadReplyLine();
    if (reply.timedOut)
        return {missedReply(c, c.panes.picture1(), QStringLiteral("Error 000A"), RunOutcome::NoIdReply)};
    // A size beyond 16 bits matches no entered size (those have two digits).
    const std::optional<qint16> controllerSize = leadingNumber16(reply.text);
    const qint16 enteredSize = leadingNumber16(approved.general.Text1[2].toLatin1()).value_or(0);
    if (enteredSize == 0 || controllerSize == enteredSize)
        return {};
    if (link.waiter().quitting())
        return {RunOutcome::Quit};
    if (!c.box.ask(kIdSizeQuestion)) {
        c.stopped = QStringLiteral("ID size change declined");
        return {RunOutcome::Declined};
    }
    return {std::nullopt, true};
}

Ending queryVersion(ProgramContext &c)
{
    wire::Link &link = c.link;
    core::Pane &left = c.panes.picture1();
    left.append(QStringLiteral("Starting 430 Communications"));
    link.SendCommand("V");
    const wire::ReplyLine reply = link.ReadReplyLine();
    if (reply.timedOut)
        return missedReply(c, left, QStringLiteral("Error 000"), RunOutcome::NoVersionReply);
    c.versionReply = reply.text;
    left.append(shown(reply.text));
    return std::nullopt;
}

// Every configuration command built from the approved settings, each shown
// with its reply; the first one without a reply ends the run.
Ending sendConfiguration(ProgramContext &c, const Settings &approved, bool idSizeChange)
{
    wire::Link &link = c.link;
    for (const CommandStep &step : commandSequence()) {
        const std::optional<QByteArray> command = step.build(approved, idSizeChange);
        if (!command)
            continue;
        core::Pane &pane = paneOf(c, step.pane);
        c.panes.openLine(pane, shown(*command));
        link.SendCommand(*command);
        const wire::ReplyLine reply = link.ReadReplyLine();
        if (reply.timedOut) {
            c.panes.endLine(pane, QStringLiteral(" "));
            c.sent.append({shown(*command), std::nullopt});
            return missedReply(c, pane, step.errorText, RunOutcome::NoReply);
        }
        c.panes.endLine(pane, QStringLiteral("  [") + shown(reply.text) + QLatin1Char(']'));
        c.sent.append({shown(*command), shown(reply.text)});
    }
    return std::nullopt;
}

} // namespace

RunOutcome do_program(ProgramContext &c)
{
    wire::LinkClaim claim(c.link);
    if (!claim.claimed())
        return RunOutcome::Busy;
    c.programmed.reset();
    c.versionReply.clear();
    c.sent.clear();
    c.stopped.clear();
    // From here on the run reads only what the check approved.
    const std::optional<Settings> approved = ValidateParameters(c.settings, c.state.digitWidth, c.panes, &c.stopped);
    if (!approved)
        return RunOutcome::CheckFailed;
    c.programmed = approved;
    if (const Ending ending = wakeController(c))
        return *ending;
    const IdSizeAgreement idSize = agreeIdSize(c, *approved);
    if (idSize.ending)
        return *idSize.ending;
    if (const Ending ending = queryVersion(c))
        return *ending;
    if (const Ending ending = sendConfiguration(c, *approved, idSize.change))
        return *ending;
    c.panes.picture2().append(QStringLiteral(" "));
    c.panes.picture2().append(QStringLiteral("Programming Complete"));
    return RunOutcome::Complete;
}

QJsonObject runResults(const ProgramContext &run)
{
    if (!run.programmed)
        return {};
    QJsonArray lines;
    for (const ProgramContext::SentLine &line : run.sent)
        lines.append(QJsonArray{line.command, line.reply ? QJsonValue(*line.reply) : QJsonValue()});
    return {{QStringLiteral("settings_sha256"), settingsHash(*run.programmed)}, {QStringLiteral("lines"), lines}};
}

ResetOutcome do_reset(ProgramContext &c)
{
    wire::LinkClaim claim(c.link);
    if (!claim.claimed())
        return ResetOutcome::Busy;
    c.panes.clear();
    c.panes.picture1().append(QStringLiteral("Resetting Controller"));
    if (!c.link.SendCommand(QByteArray("\0U1", 3)))
        return ResetOutcome::SendFailed;
    c.panes.picture1().append(QStringLiteral("Reset Complete"));
    return ResetOutcome::Sent;
}

} // namespace config
