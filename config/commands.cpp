#include "config/commands.h"

#include "config/settingtable.h"

namespace config {

QByteArray flag(bool ticked) { return ticked ? "1" : "0"; }
QByteArray d2(const QString &text) { return ("0" + text.toLatin1()).right(2); }
QByteArray d2z(const QString &text) { return ("00" + text.toLatin1()).right(2); }
QByteArray d3(const QString &text) { return ("00" + text.toLatin1()).right(3); }

namespace {

// An option group gives the code of its selected member, or nothing.
QByteArray code(int selected, std::initializer_list<std::pair<int, char>> codes)
{
    QByteArray out;
    for (const auto &[member, c] : codes)
        if (selected == member)
            out.append(c);
    return out;
}

QByteArray baudCode(int selected)
{
    using C = Comm430Settings;
    return code(selected,
                {{C::B1200, '1'},
                 {C::B2400, '2'},
                 {C::B4800, '3'},
                 {C::B9600, '4'},
                 {C::B19200, '5'},
                 {C::B38400, '6'},
                 {C::B57600, '7'},
                 {C::B115200, '8'}});
}

QByteArray parityCode(int selected)
{
    using C = Comm430Settings;
    return code(selected, {{C::NoParity8, 'N'}, {C::Even7, 'E'}, {C::Odd7, 'O'}});
}

QByteArray number3(int n) { return QByteArray::number(n).rightJustified(3, '0'); }

} // namespace

QByteArray buildX001(const Settings &s)
{
    const Comm430Settings &c = s.comm430;
    return "X001" + baudCode(c.rs232Baud) + parityCode(c.rs232Parity) + baudCode(c.rs422Baud)
        + parityCode(c.rs422Parity);
}

QByteArray buildX005(const Settings &s)
{
    using G = GeneralSettings;
    const G &g = s.general;
    return "X005"
        + code(g.readerType, {{G::Wiegand, '1'}, {G::Magstripe, '2'}, {G::WiegandMagstripe, '3'}, {G::Barcode, '4'}})
        + flag(g.Check1[0]) + flag(g.Check2) + flag(g.Check3) + flag(g.Check4) + flag(g.Check5);
}

QByteArray buildBitFormat(const Settings &s, int format)
{
    static const char *codes[] = {"X007", "X010", "X013"};
    const WiegandFormatIndex &x = wiegandFormat(format);
    const WiegandSettings &w = s.wiegand;
    QByteArray out = codes[format - 1];
    out += d2(w.Text1[x.totalBits]);
    for (int F = 0; F < 3; ++F)
        out += d2(w.Text1[x.start[F]]) + d2(w.Text1[x.length[F]]) + flag(w.Check[x.lsb[F]]);
    return out;
}

QByteArray buildOutputWidths(const Settings &s, int format)
{
    static const char *codes[] = {"X008", "X011", "X014"};
    const WiegandFormatIndex &x = wiegandFormat(format);
    QByteArray out = codes[format - 1];
    for (const int c : x.chars)
        out += d2(s.wiegand.Text1[c]);
    return out;
}

QByteArray buildWiegandMask(const Settings &s, int set)
{
    static const char *codes[] = {"X009", "X012", "X015"};
    QByteArray out = codes[set];
    for (int i = 5 * set; i < 5 * set + 5; ++i)
        out += d2(s.wiegand.Text2[i]) + d3(s.wiegand.Text3[i]);
    return out;
}

QByteArray buildX016(const Settings &s)
{
    const WiegandSettings &w = s.wiegand;
    QByteArray out = "X016";
    for (int c = 25; c <= 30; ++c)
        out += flag(w.Check[c]);
    // The separator goes as the two characters typed, not converted.
    return out + d2(w.Text4) + d2(w.Text5);
}

QByteArray buildBarcodeMask(const Settings &s, int set)
{
    const BarcodeSettings &b = s.barcode;
    QByteArray out = set == 0 ? "X017" : "X018";
    out += d2(b.Text8[set]);
    // Increasing index: "Mask # 2" thus goes from its bottom row up.
    for (int i = 5 * set; i < 5 * set + 5; ++i)
        out += d2(b.Text5[i]) + d3(b.Text7[i]);
    return out;
}

QByteArray buildX029(const Settings &s)
{
    using G = GeneralSettings;
    const G &g = s.general;
    return "X029" + flag(g.Check6) + code(g.tone, {{G::Low, '3'}, {G::Med, '2'}, {G::Hi, '1'}}) + d2(g.Text5[1]) + "00"
        + d2(g.Text5[0]) + "0000";
}

namespace {

struct SymbologyLayout {
    int row;
    int command;
    std::vector<int> flags; // columns, in the order sent
    bool len;
};

const std::vector<SymbologyLayout> &symbologyLayouts()
{
    // Each row leaves out the columns its symbology lacks; Codabar sends its
    // SS twice, and its CD columns although the screen keeps them at 0.
    static const std::vector<SymbologyLayout> layouts = {
        {0, 30, {Enbl, Pre, CD, TransmitCD, SS, Dir, XB, Suf}, true},
        {1, 33, {Enbl, Pre, CD, TransmitCD, Dir, XB, Suf}, true},
        {2, 36, {Enbl, Pre, Dir, XB, Suf}, true},
        {4, 39, {Enbl, Pre, CD, TransmitCD, SS, SS, Dir, XB, Suf}, true},
        {5, 42, {Enbl, Pre, CD, TransmitCD, Dir, XB, Suf}, true},
        {6, 45, {Enbl, Pre, Dir, XB, Suf}, false},
        {7, 48, {Enbl, Pre, Dir, XB, Suf}, false},
        {8, 51, {Enbl, Pre, Dir, XB, Suf}, true},
    };
    return layouts;
}

const SymbologyLayout *layoutFor(int row)
{
    for (const SymbologyLayout &l : symbologyLayouts())
        if (l.row == row)
            return &l;
    return nullptr;
}

QByteArray characters(const char prefix, int command, const std::array<QString, 45> &texts, int row)
{
    QByteArray out = prefix + number3(command);
    for (int i = 5 * row; i < 5 * row + 5; ++i)
        out += d3(texts[i]);
    return out;
}

} // namespace

QByteArray buildSymbology(const Settings &s, int row)
{
    const SymbologyLayout *l = layoutFor(row);
    if (!l)
        return {}; // row 3 is never sent
    const BarcodeSettings &b = s.barcode;
    QByteArray out = "X" + number3(l->command);
    for (int c : l->flags)
        out += flag(b.Check1[8 * row + c]);
    if (l->len)
        out += d2(b.Text1[row]);
    return out + d2(b.Text3[row]);
}

QByteArray buildPrefix(const Settings &s, int row)
{
    const SymbologyLayout *l = layoutFor(row);
    return l ? characters('X', l->command + 1, s.barcode.Text2, row) : QByteArray();
}

QByteArray buildSuffix(const Settings &s, int row)
{
    const SymbologyLayout *l = layoutFor(row);
    return l ? characters('X', l->command + 2, s.barcode.Text4, row) : QByteArray();
}

QByteArray buildX054(const Settings &s)
{
    const GeneralSettings &g = s.general;
    return "X054" + flag(g.Check8[3]) + flag(g.Check8[4]) + flag(g.Check8[5]) + flag(g.Check8[6]) + d2z(g.Text5[4]);
}

QByteArray buildX055(const Settings &s) { return "X055" + d2z(s.general.Text5[2]) + d2z(s.general.Text5[3]); }

QByteArray buildX056(const Settings &s)
{
    using B = BarcodeSettings;
    const B &b = s.barcode;
    return "X056" + d2z(b.Text6) + code(b.priority, {{B::None, '0'}, {B::Small, '1'}, {B::Large, '2'}})
        + flag(b.Check2);
}

QByteArray buildX057(const Settings &s) { return "X057" + flag(s.general.Check7[0]); }
QByteArray buildX058(const Settings &s) { return "X058" + flag(s.barcode.Check3); }

std::optional<QByteArray> buildLevel(const Settings &s, int level)
{
    // Levels 1 to 3 follow the "Programming Levels" boxes; no level is numbered 2.
    static const char *codes[] = {"X0590", "X0591", "X0593", "X0594"};
    if (level < 0 || level > 3)
        return std::nullopt;
    if (level > 0 && !s.general.Check8[level - 1])
        return std::nullopt;
    return QByteArray(codes[level]);
}

std::optional<QByteArray> buildStandAlone(const Settings &s, int n, bool idSizeChange)
{
    using G = GeneralSettings;
    const G &g = s.general;
    switch (n) {
    case 1:
        if (!idSizeChange)
            return std::nullopt;
        return "\\" + d2(g.Text1[2]);
    case 2:
        return QByteArray(g.operatingMode == G::Online ? "|1" : "|4");
    case 3:
        return "\"" + d2(g.Text1[1]);
    case 4:
        return QByteArray(g.Check1[2] ? ":1" : ":0");
    case 5:
        return QByteArray(g.Check1[1] ? "r1" : "r0");
    case 6:
        return "E" + code(g.lookupMode, {{G::AdHoc, '1'}, {G::Sorted, '2'}, {G::Both, '3'}});
    default:
        return std::nullopt;
    }
}

const std::vector<CommandStep> &commandSequence()
{
    static const std::vector<CommandStep> steps = [] {
        std::vector<CommandStep> v;
        auto always = [&v](int number, std::function<QByteArray(const Settings &)> build) {
            const PaneId pane = number <= 41 ? PaneId::Picture1 : PaneId::Picture2;
            v.push_back({pane, QStringLiteral("Error %1").arg(number, 3, 10, QLatin1Char('0')),
                         [build = std::move(build)](const Settings &s, bool) -> std::optional<QByteArray> {
                             return build(s);
                         }});
        };
        always(1, buildX001);
        always(5, buildX005);
        for (int f = 1; f <= 3; ++f) {
            always(7 + 3 * (f - 1), [f](const Settings &s) { return buildBitFormat(s, f); });
            always(8 + 3 * (f - 1), [f](const Settings &s) { return buildOutputWidths(s, f); });
            always(9 + 3 * (f - 1), [f](const Settings &s) { return buildWiegandMask(s, f - 1); });
        }
        always(16, buildX016);
        always(17, [](const Settings &s) { return buildBarcodeMask(s, 0); });
        always(18, [](const Settings &s) { return buildBarcodeMask(s, 1); });
        always(29, buildX029);
        for (const SymbologyLayout &l : symbologyLayouts()) {
            const int row = l.row;
            always(l.command, [row](const Settings &s) { return buildSymbology(s, row); });
            always(l.command + 1, [row](const Settings &s) { return buildPrefix(s, row); });
            always(l.command + 2, [row](const Settings &s) { return buildSuffix(s, row); });
        }
        always(54, buildX054);
        always(55, buildX055);
        always(56, buildX056);
        always(57, buildX057);
        always(58, buildX058);
        for (int level = 0; level <= 3; ++level)
            v.push_back({PaneId::Picture2, QStringLiteral("Error 059"),
                         [level](const Settings &s, bool) { return buildLevel(s, level); }});
        for (int n = 1; n <= 6; ++n)
            v.push_back({PaneId::Picture2, QStringLiteral("Error QLM%1").arg(n, 3, 10, QLatin1Char('0')),
                         [n](const Settings &s, bool change) { return buildStandAlone(s, n, change); }});
        return v;
    }();
    return steps;
}

} // namespace config
