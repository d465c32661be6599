#include "config/validate.h"

#include "config/settingtable.h"
#include "core/numbers.h"

namespace config {

namespace {

bool empty(const QString &text) { return text.trimmed().isEmpty(); }
qint64 number(const QString &text) { return core::fieldNumber(text); }

const char *const kFieldNames[3] = {"site", "id", "issue"};

QString formatMessage(const char *kind, int f, int F, const char *what)
{
    return QStringLiteral("%1 - Wie/prox format %2 - %3 %4")
        .arg(QLatin1String(kind))
        .arg(f)
        .arg(QLatin1String(kFieldNames[F]), QLatin1String(what));
}

} // namespace

CheckReport checkParameters(const Settings &s, const core::DigitWidthTable &digitWidth)
{
    CheckReport r;
    r.lines.append(QStringLiteral("Checking Parameters"));
    auto error = [&r](const QString &text) {
        r.lines.append(text);
        r.pass = false;
        return r;
    };
    const WiegandSettings &w = s.wiegand;
    const BarcodeSettings &b = s.barcode;
    const GeneralSettings &g = s.general;

    for (const QString &t : w.Text1)
        if (empty(t))
            return error(QStringLiteral("Error - Empty field in wiegand/prox formatting"));
    for (int i = 0; i <= 14; ++i)
        if (empty(w.Text2[i]) || empty(w.Text3[i]))
            return error(QStringLiteral("Error - Empty field in wiegand/prox masking"));
    if (empty(w.Text4))
        return error(QStringLiteral("Error - Empty field - magstripe length"));
    if (empty(w.Text5))
        return error(QStringLiteral("Error - Empty field - magstripe sep char"));

    for (int f = 1; f <= 3; ++f) {
        const WiegandFormatIndex &x = wiegandFormat(f);
        for (int F = 0; F < 3; ++F)
            if (number(w.Text1[x.length[F]]) != 0 && number(w.Text1[x.start[F]]) == 0)
                return error(formatMessage("Error", f, F, "field has a length but specifies start of 0"));
        const qint64 total = number(w.Text1[x.totalBits]);
        for (int F = 0; F < 3; ++F)
            if (number(w.Text1[x.start[F]]) + number(w.Text1[x.length[F]]) - 1 > total)
                return error(formatMessage("Error", f, F, "field goes beyond end of bit stream"));
    }

    for (int f = 1; f <= 3; ++f) {
        const WiegandFormatIndex &x = wiegandFormat(f);
        for (int F = 0; F < 3; ++F) {
            const qint64 length = number(w.Text1[x.length[F]]);
            const auto width = core::digitWidthFor(digitWidth, static_cast<int>(length));
            // A length beyond the table is wider than any value the controller
            // can give out: always worth the warning.
            if (!width || number(w.Text1[x.chars[F]]) < *width)
                r.lines.append(formatMessage("Warning", f, F, "bit length may not fit in character size"));
        }
    }

    for (int i = 0; i <= 9; ++i)
        if (empty(b.Text5[i]) || empty(b.Text7[i]))
            return error(QStringLiteral("Error - Empty field in barcode masking"));
    for (const QString &t : b.Text8)
        if (empty(t))
            return error(QStringLiteral("Error - Empty field in barcode masking length"));
    if (empty(b.Text6))
        return error(QStringLiteral("Error - Empty field in barcode timeout"));
    for (int r0 = 0; r0 < kBarcodeRows; ++r0)
        if (empty(b.Text1[r0]) || empty(b.Text3[r0]))
            return error(QStringLiteral("Error - Empty field in barcode length/#bars"));
    for (int i = 0; i <= 44; ++i)
        if (empty(b.Text2[i]) || empty(b.Text4[i]))
            return error(QStringLiteral("Error - Empty field in barcode prefix/suffix"));
    const qint64 timeout = number(b.Text6);
    if (timeout < 2 || timeout > 15)
        return error(QStringLiteral("Error - Barcode timeout must be between 2 and 15"));
    if (number(g.Text5[4]) > 25)
        return error(QStringLiteral("Error - Relay time cannot be greater than 25"));
    if (number(g.Text5[2]) > 25 || number(g.Text5[3]) > 25)
        return error(QStringLiteral("Error - Led trigger time cannot be greater than 25"));
    if (empty(g.Text5[0]) || empty(g.Text5[1]))
        return error(QStringLiteral("Error - Empty field in speaker time"));
    for (int i = 2; i <= 4; ++i)
        if (empty(g.Text5[i]))
            return error(QStringLiteral("Error - Empty field relay/rte settings"));
    return r;
}

std::optional<Settings> ValidateParameters(const Settings &settings, const core::DigitWidthTable &digitWidth,
                                           ProgressPanes &panes, QString *failure)
{
    // The copy is taken first and is what gets checked: nothing a pane does
    // while the lines go out can slip a value past the check.
    Settings checked = settings;
    panes.clear();
    const CheckReport report = checkParameters(checked, digitWidth);
    for (const QString &line : report.lines)
        panes.picture1().append(line);
    if (!report.pass) {
        if (failure)
            *failure = report.lines.constLast();
        return std::nullopt;
    }
    return checked;
}

} // namespace config
