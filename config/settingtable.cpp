#include "config/settingtable.h"

#include <QHash>

#include <algorithm>

namespace config {

namespace {

QString indexed(const char *control, int i) { return QStringLiteral("%1(%2)").arg(QLatin1String(control)).arg(i); }

class TableBuilder {
public:
    explicit TableBuilder(std::vector<SettingInfo> &rows) : m_rows(rows) {}

    void screen(const char *s) { m_screen = QLatin1String(s); }
    void context(const QString &c) { m_context = c; }

    SettingInfo &text(const QString &control, const QString &caption, int maxLength,
                      std::function<QString &(Settings &)> at)
    {
        SettingInfo &i = add(control, caption, SettingKind::Text);
        i.maxLength = maxLength;
        i.text = std::move(at);
        return i;
    }
    SettingInfo &check(const QString &control, const QString &caption, std::function<bool &(Settings &)> at)
    {
        SettingInfo &i = add(control, caption, SettingKind::Check);
        i.check = std::move(at);
        return i;
    }
    SettingInfo &option(const QString &control, const QString &caption, const char *groupName, int member,
                        std::function<int &(Settings &)> at)
    {
        SettingInfo &i = add(control, caption, SettingKind::Option);
        i.groupName = m_screen + QLatin1Char('.') + QLatin1String(groupName);
        i.member = member;
        i.group = std::move(at);
        return i;
    }

private:
    SettingInfo &add(const QString &control, const QString &caption, SettingKind kind)
    {
        SettingInfo i;
        i.name = m_screen + QLatin1Char('.') + control;
        i.screen = m_screen;
        i.control = control;
        i.caption = caption;
        i.context = m_context;
        i.kind = kind;
        m_rows.push_back(std::move(i));
        return m_rows.back();
    }

    std::vector<SettingInfo> &m_rows;
    QString m_screen;
    QString m_context;
};

void generalRows(TableBuilder &t)
{
    using G = GeneralSettings;
    t.screen("general");
    auto reader = [](Settings &s) -> int & { return s.general.readerType; };
    t.context(QStringLiteral("Reader Settings"));
    t.option(QStringLiteral("Option13"), QStringLiteral("Barcode"), "reader", G::Barcode, reader);
    t.option(QStringLiteral("Option11"), QStringLiteral("Wiegand"), "reader", G::Wiegand, reader);
    t.option(QStringLiteral("Option10"), QStringLiteral("Magstripe"), "reader", G::Magstripe, reader);
    t.option(QStringLiteral("Option12"), QStringLiteral("Wiegand and Magstripe"), "reader", G::WiegandMagstripe,
             reader);
    t.check(indexed("Check1", 0), QStringLiteral("Masking"), [](Settings &s) -> bool & { return s.general.Check1[0]; });
    t.check(QStringLiteral("Check2"), QStringLiteral("Beep"), [](Settings &s) -> bool & { return s.general.Check2; });
    t.check(QStringLiteral("Check3"), QStringLiteral("Parity Check"),
            [](Settings &s) -> bool & { return s.general.Check3; });
    t.check(QStringLiteral("Check4"), QStringLiteral("Kronos Mode"),
            [](Settings &s) -> bool & { return s.general.Check4; });
    t.check(QStringLiteral("Check5"), QStringLiteral("Open Enrollment"),
            [](Settings &s) -> bool & { return s.general.Check5; });

    t.context(QStringLiteral("Speaker Settings"));
    t.text(indexed("Text5", 0), QStringLiteral("BC Time"), 2,
           [](Settings &s) -> QString & { return s.general.Text5[0]; });
    t.text(indexed("Text5", 1), QStringLiteral("Wie/Prox/Aba Time"), 2,
           [](Settings &s) -> QString & { return s.general.Text5[1]; });
    auto tone = [](Settings &s) -> int & { return s.general.tone; };
    t.context(QStringLiteral("Speaker Settings / Tone"));
    t.option(QStringLiteral("Option14"), QStringLiteral("Hi"), "tone", G::Hi, tone);
    t.option(QStringLiteral("Option15"), QStringLiteral("Med"), "tone", G::Med, tone);
    t.option(QStringLiteral("Option16"), QStringLiteral("Low"), "tone", G::Low, tone);
    t.context(QStringLiteral("Speaker Settings"));
    t.check(QStringLiteral("Check6"), QStringLiteral("Startup Tone ON"),
            [](Settings &s) -> bool & { return s.general.Check6; });

    t.context(QStringLiteral("Programming Levels"));
    const char *levels[] = {"Enroll", "Lock/Unlock", "Reset"};
    for (int i = 0; i < 3; ++i)
        t.check(indexed("Check8", i), QLatin1String(levels[i]),
                [i](Settings &s) -> bool & { return s.general.Check8[i]; });

    auto mode = [](Settings &s) -> int & { return s.general.operatingMode; };
    t.context(QStringLiteral("Operating Mode"));
    t.option(indexed("Option1", 2), QStringLiteral("Online"), "mode", G::Online, mode);
    t.option(indexed("Option1", 1), QStringLiteral("Stand Alone"), "mode", G::StandAlone, mode);
    auto lookup = [](Settings &s) -> int & { return s.general.lookupMode; };
    t.context(QStringLiteral("Lookup Mode"));
    t.option(indexed("Option1", 3), QStringLiteral("Ad Hoc"), "lookup", G::AdHoc, lookup);
    t.option(indexed("Option1", 5), QStringLiteral("Sorted"), "lookup", G::Sorted, lookup);
    t.option(indexed("Option1", 4), QStringLiteral("Both"), "lookup", G::Both, lookup);

    t.context(QStringLiteral("Stand Alone Settings"));
    t.text(indexed("Text1", 2), QStringLiteral("Max ID Size"), 2,
           [](Settings &s) -> QString & { return s.general.Text1[2]; });
    t.text(indexed("Text1", 1), QStringLiteral("Relay/Led Time"), 2,
           [](Settings &s) -> QString & { return s.general.Text1[1]; });
    t.check(indexed("Check1", 1), QStringLiteral("Serial Logging"),
            [](Settings &s) -> bool & { return s.general.Check1[1]; });
    t.check(indexed("Check7", 0), QStringLiteral("First Person in"),
            [](Settings &s) -> bool & { return s.general.Check7[0]; });
    t.check(indexed("Check1", 2), QStringLiteral("Bad ID Logging ON"),
            [](Settings &s) -> bool & { return s.general.Check1[2]; });

    t.context(QStringLiteral("Relay / Led / Rte / Autolock settings"));
    const char *relay[] = {"Relay Autotrigger (online mode)", "Relay On at startup (online mode)",
                           "Door Autolock (stand alone and online)", "Request to exit (stand alone and online)"};
    for (int i = 6; i >= 3; --i)
        t.check(indexed("Check8", i), QLatin1String(relay[i - 3]),
                [i](Settings &s) -> bool & { return s.general.Check8[i]; });
    const char *times[] = {"Led autotrigger time (barcode), online", "Led autotrigger time (wie/prox/mag), online",
                           "Relay autotrigger time (online mode)"};
    for (int i = 4; i >= 2; --i)
        t.text(indexed("Text5", i), QLatin1String(times[i - 2]), 2,
               [i](Settings &s) -> QString & { return s.general.Text5[i]; });
}

void wiegandRows(TableBuilder &t)
{
    t.screen("wiegand");
    const char *fields[] = {"Site", "ID", "Issue"};
    for (int f = 1; f <= 3; ++f) {
        const WiegandFormatIndex &x = wiegandFormat(f);
        for (int F = 0; F < 3; ++F) {
            t.context(QStringLiteral("Wie/Prox Format # %1 / %2").arg(f).arg(QLatin1String(fields[F])));
            const int start = x.start[F];
            const int length = x.length[F];
            const int chars = x.chars[F];
            const int lsb = x.lsb[F];
            t.text(indexed("Text1", start), QStringLiteral("Start"), 2,
                   [start](Settings &s) -> QString & { return s.wiegand.Text1[start]; });
            t.text(indexed("Text1", length), QStringLiteral("Length"), 2,
                   [length](Settings &s) -> QString & { return s.wiegand.Text1[length]; });
            t.check(QStringLiteral("Check%1").arg(lsb), QStringLiteral("Lsb"),
                    [lsb](Settings &s) -> bool & { return s.wiegand.Check[lsb]; });
            t.text(indexed("Text1", chars), QStringLiteral("Chars"), 2,
                   [chars](Settings &s) -> QString & { return s.wiegand.Text1[chars]; });
        }
        t.context(QStringLiteral("Wie/Prox Format # %1").arg(f));
        const int total = x.totalBits;
        t.text(indexed("Text1", total), QStringLiteral("Total Bits"), 2,
               [total](Settings &s) -> QString & { return s.wiegand.Text1[total]; });
    }

    const char *sets[] = {"Wie/Prox/Mag Mask 1", "Wie/Prox Mask 2", "Wie/Prox Mask 3"};
    for (int set = 0; set < 3; ++set) {
        for (int k = 0; k < 5; ++k) {
            t.context(QStringLiteral("%1 / Mask %2").arg(QLatin1String(sets[set])).arg(k + 1));
            const int c = wiegandConstCheck(set, k);
            const int i = 5 * set + k;
            t.check(QStringLiteral("Check%1").arg(c), QStringLiteral("Const"),
                    [c](Settings &s) -> bool & { return s.wiegand.Check[c]; });
            t.text(indexed("Text2", i), QStringLiteral("Start"), 2,
                   [i](Settings &s) -> QString & { return s.wiegand.Text2[i]; });
            t.text(indexed("Text3", i), QStringLiteral("Len/Value"), 3,
                   [i](Settings &s) -> QString & { return s.wiegand.Text3[i]; });
        }
    }

    t.context(QStringLiteral("Magstripe"));
    t.text(QStringLiteral("Text4"), QStringLiteral("Length"), 2,
           [](Settings &s) -> QString & { return s.wiegand.Text4; });
    t.text(QStringLiteral("Text5"), QStringLiteral("Sep Char (in hex)"), 2,
           [](Settings &s) -> QString & { return s.wiegand.Text5; });
    const char *mag[] = {"C Start",     "Track 1 Set",   "Include Start/Stop",
                         "Include lrc", "Dir Indicator", "Alpha Delete"};
    for (int c = 25; c <= 30; ++c)
        t.check(QStringLiteral("Check%1").arg(c), QLatin1String(mag[c - 25]),
                [c](Settings &s) -> bool & { return s.wiegand.Check[c]; });
}

void barcodeRows(TableBuilder &t)
{
    t.screen("barcode");
    const char *columns[] = {"Enbl", "CD", "XB", "CD", "SS", "Dir", "Pre", "Suf"};
    for (int r = 0; r < kBarcodeRows; ++r) {
        const QString row = r == kHiddenBarcodeRow ? QStringLiteral("row 3 (not shown)") : barcodeRowCaption(r);
        for (int c = 0; c < 8; ++c) {
            t.context(c >= TransmitCD ? row + QStringLiteral(" / Transmit") : row);
            const int i = 8 * r + c;
            SettingInfo &info = t.check(indexed("Check1", i), QLatin1String(columns[c]),
                                        [i](Settings &s) -> bool & { return s.barcode.Check1[i]; });
            info.disabled = barcodeCheckDisabled(r, c);
            info.hidden = r == kHiddenBarcodeRow;
        }
        t.context(row);
        SettingInfo &len = t.text(indexed("Text1", r), QStringLiteral("Len"), 2,
                                  [r](Settings &s) -> QString & { return s.barcode.Text1[r]; });
        len.disabled = barcodeLenDisabled(r);
        len.hidden = r == kHiddenBarcodeRow;
        SettingInfo &bars = t.text(indexed("Text3", r), QStringLiteral("# Bars"), 2,
                                   [r](Settings &s) -> QString & { return s.barcode.Text3[r]; });
        bars.hidden = r == kHiddenBarcodeRow;
        for (int j = 0; j < 5; ++j) {
            const int i = 5 * r + j;
            t.context(row + QStringLiteral(" / Prefix"));
            t.text(indexed("Text2", i), QStringLiteral("Prefix %1").arg(j + 1), 3, [i](Settings &s) -> QString & {
                 return s.barcode.Text2[i];
             }).hidden = r == kHiddenBarcodeRow;
        }
        for (int j = 0; j < 5; ++j) {
            const int i = 5 * r + j;
            t.context(row + QStringLiteral(" / Suffix"));
            t.text(indexed("Text4", i), QStringLiteral("Suffix %1").arg(j + 1), 3, [i](Settings &s) -> QString & {
                 return s.barcode.Text4[i];
             }).hidden = r == kHiddenBarcodeRow;
        }
    }

    for (int set = 0; set < 2; ++set) {
        for (int k = 0; k < 5; ++k) {
            const int i = barcodeMaskIndex(set, k);
            t.context(QStringLiteral("Mask # %1 / Mask %2").arg(set + 1).arg(k + 1));
            t.check(indexed("Check4", i), QStringLiteral("Const"),
                    [i](Settings &s) -> bool & { return s.barcode.Check4[i]; });
            t.text(indexed("Text5", i), QStringLiteral("Start"), 2,
                   [i](Settings &s) -> QString & { return s.barcode.Text5[i]; });
            t.text(indexed("Text7", i), QStringLiteral("Len/Value"), 3,
                   [i](Settings &s) -> QString & { return s.barcode.Text7[i]; });
        }
        t.context(QStringLiteral("Mask # %1").arg(set + 1));
        t.text(indexed("Text8", set), QStringLiteral("Length"), 0,
               [set](Settings &s) -> QString & { return s.barcode.Text8[set]; });
    }

    t.context(QString());
    t.check(QStringLiteral("Check3"), QStringLiteral("PDI"), [](Settings &s) -> bool & { return s.barcode.Check3; });
    t.check(QStringLiteral("Check2"), QStringLiteral("Alpha Delete"),
            [](Settings &s) -> bool & { return s.barcode.Check2; });
    t.text(QStringLiteral("Text6"), QStringLiteral("Timeout"), 0,
           [](Settings &s) -> QString & { return s.barcode.Text6; });
    auto priority = [](Settings &s) -> int & { return s.barcode.priority; };
    t.context(QStringLiteral("Prioritiy"));
    t.option(indexed("Option1", 2), QStringLiteral("None"), "priority", BarcodeSettings::None, priority);
    t.option(indexed("Option1", 0), QStringLiteral("Small"), "priority", BarcodeSettings::Small, priority);
    t.option(indexed("Option1", 1), QStringLiteral("Large"), "priority", BarcodeSettings::Large, priority);
}

void comm430Rows(TableBuilder &t)
{
    t.screen("comm430");
    struct Port {
        const char *caption;
        const char *baudGroup;
        const char *parityGroup;
        int Comm430Settings::*baud;
        int Comm430Settings::*parity;
    };
    const Port ports[] = {
        {"RS232 Port Settings", "rs232Baud", "rs232Parity", &Comm430Settings::rs232Baud, &Comm430Settings::rs232Parity},
        {"RS422 Port Settings", "rs422Baud", "rs422Parity", &Comm430Settings::rs422Baud, &Comm430Settings::rs422Parity},
    };
    for (int p = 0; p < 2; ++p) {
        const Port &port = ports[p];
        t.context(QLatin1String(port.caption) + QStringLiteral(" / Baud Rate"));
        for (int b = 0; b < 8; ++b) {
            auto at = [m = port.baud](Settings &s) -> int & { return s.comm430.*m; };
            t.option(comm430BaudControl(p, b), comm430BaudCaption(b), port.baudGroup, b, at);
        }
        t.context(QLatin1String(port.caption) + QStringLiteral(" / Parity"));
        for (int q = 0; q < 3; ++q) {
            auto at = [m = port.parity](Settings &s) -> int & { return s.comm430.*m; };
            t.option(comm430ParityControl(p, q), comm430ParityCaption(q), port.parityGroup, q, at);
        }
    }
}

} // namespace

const WiegandFormatIndex &wiegandFormat(int f)
{
    static const WiegandFormatIndex formats[] = {
        {{1, 0, 2}, {4, 5, 8}, {6, 7, 9}, 3, {1, 2, 3}},
        {{10, 11, 14}, {12, 13, 15}, {17, 18, 19}, 16, {14, 15, 16}},
        {{20, 21, 24}, {22, 23, 25}, {27, 28, 29}, 26, {22, 23, 24}},
    };
    return formats[std::clamp(f, 1, 3) - 1];
}

int wiegandConstCheck(int set, int row)
{
    // Set 1 counts its Const boxes up from the top row (Check4 to Check8); sets 2
    // and 3 count down (Check13 to Check9, Check21 to Check17).
    static const int first[] = {4, 13, 21};
    return set == 0 ? first[0] + row : first[set] - row;
}

int barcodeMaskIndex(int set, int row) { return set == 0 ? row : 9 - row; }

QString barcodeRowCaption(int row)
{
    static const char *captions[] = {"Code39", "I 2/5", "S 2/5", "", "Codabar", "Code 128", "Upca", "Ean13", "Ind 2/5"};
    return row >= 0 && row < kBarcodeRows ? QLatin1String(captions[row]) : QString();
}

QString comm430BaudControl(int port, int baud)
{
    // Control names of the "1200" ... "115200" buttons, RS232 then RS422.
    static const char *names[2][8] = {
        {"Option1(0)", "Option2(0)", "Option3(0)", "Option1(2)", "Option2(1)", "Option3(1)", "Option1(3)",
         "Option2(2)"},
        {"Option1(8)", "Option2(5)", "Option3(3)", "Option1(7)", "Option2(4)", "Option3(2)", "Option1(6)",
         "Option2(3)"},
    };
    return QLatin1String(names[port][baud]);
}

QString comm430ParityControl(int port, int parity)
{
    static const char *names[2][3] = {{"Option5(1)", "Option1(4)", "Option4(1)"},
                                      {"Option5(2)", "Option1(5)", "Option4(2)"}};
    return QLatin1String(names[port][parity]);
}

QString comm430BaudCaption(int baud)
{
    static const char *captions[] = {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"};
    return QLatin1String(captions[baud]);
}

QString comm430ParityCaption(int parity)
{
    static const char *captions[] = {"8 no parity", "7 Even", "7 odd"};
    return QLatin1String(captions[parity]);
}

QString SettingInfo::value(const Settings &s) const
{
    auto &m = const_cast<Settings &>(s); // the accessors serve reading and writing
    switch (kind) {
    case SettingKind::Text:
        return text(m);
    case SettingKind::Check:
        return check(m) ? QStringLiteral("1") : QStringLiteral("0");
    case SettingKind::Option:
        return group(m) == member ? QStringLiteral("1") : QStringLiteral("0");
    }
    return {};
}

QString SettingInfo::kindName() const
{
    switch (kind) {
    case SettingKind::Text:
        return QStringLiteral("text");
    case SettingKind::Check:
        return QStringLiteral("check");
    case SettingKind::Option:
        return QStringLiteral("option");
    }
    return {};
}

const std::vector<SettingInfo> &settingTable()
{
    static const std::vector<SettingInfo> table = [] {
        std::vector<SettingInfo> rows;
        rows.reserve(700);
        TableBuilder t(rows);
        generalRows(t);
        wiegandRows(t);
        barcodeRows(t);
        comm430Rows(t);
        return rows;
    }();
    return table;
}

const SettingInfo *findSetting(const QString &name)
{
    static const QHash<QString, const SettingInfo *> byName = [] {
        QHash<QString, const SettingInfo *> h;
        for (const SettingInfo &i : settingTable())
            h.insert(i.name, &i);
        return h;
    }();
    return byName.value(name, nullptr);
}

QString defaultValue(const SettingInfo &info)
{
    static const Settings defaults = [] {
        Settings s;
        applyConfigDefaults(s);
        return s;
    }();
    return info.value(defaults);
}

namespace {

bool allDigits(const QString &v)
{
    return std::all_of(v.begin(), v.end(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

} // namespace

bool setSetting(Settings &settings, const QString &name, const QString &value, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const SettingInfo *info = findSetting(name);
    if (!info)
        return fail(QStringLiteral("unknown setting %1").arg(name));
    if (info->disabled && value != info->value(settings))
        return fail(QStringLiteral("%1 is disabled on the %2 screen").arg(name, info->screen));
    switch (info->kind) {
    case SettingKind::Text: {
        if (!allDigits(value))
            return fail(QStringLiteral("%1 takes digits only").arg(name));
        if (info->maxLength > 0 && value.size() > info->maxLength)
            return fail(QStringLiteral("%1 holds at most %2 digits").arg(name).arg(info->maxLength));
        const ConstPair *pair = constPairForStart(name);
        if (pair && startLocked(settings, *pair) && value != info->text(settings))
            return fail(QStringLiteral("%1 is locked by %2").arg(name, pair->check));
        info->text(settings) = value;
        return true;
    }
    case SettingKind::Check: {
        if (value != QLatin1String("0") && value != QLatin1String("1"))
            return fail(QStringLiteral("%1 takes 0 or 1").arg(name));
        const bool set = value == QLatin1String("1");
        info->check(settings) = set;
        if (const ConstPair *pair = constPairForCheck(name))
            applyConst(settings, *pair, set);
        return true;
    }
    case SettingKind::Option:
        if (value == QLatin1String("1")) {
            info->group(settings) = info->member;
        } else if (value == QLatin1String("0")) {
            if (info->group(settings) == info->member)
                info->group(settings) = kNone;
        } else {
            return fail(QStringLiteral("%1 takes 0 or 1").arg(name));
        }
        return true;
    }
    return fail(QStringLiteral("unknown setting %1").arg(name));
}

const std::vector<ConstPair> &constPairs()
{
    static const std::vector<ConstPair> pairs = [] {
        std::vector<ConstPair> p;
        for (int set = 0; set < 3; ++set)
            for (int k = 0; k < 5; ++k)
                p.push_back({QStringLiteral("wiegand.Check%1").arg(wiegandConstCheck(set, k)),
                             QStringLiteral("wiegand.Text2(%1)").arg(5 * set + k)});
        for (int i = 0; i < 10; ++i)
            p.push_back({QStringLiteral("barcode.Check4(%1)").arg(i), QStringLiteral("barcode.Text5(%1)").arg(i)});
        return p;
    }();
    return pairs;
}

const ConstPair *constPairForCheck(const QString &checkName)
{
    for (const ConstPair &p : constPairs())
        if (p.check == checkName)
            return &p;
    return nullptr;
}

const ConstPair *constPairForStart(const QString &startName)
{
    for (const ConstPair &p : constPairs())
        if (p.start == startName)
            return &p;
    return nullptr;
}

void applyConst(Settings &settings, const ConstPair &pair, bool set)
{
    if (set)
        findSetting(pair.start)->text(settings) = QStringLiteral("00");
}

bool startLocked(const Settings &settings, const ConstPair &pair)
{
    return findSetting(pair.check)->value(settings) == QLatin1String("1");
}

std::optional<AvailableEntries> availableEntries(const QString &maxIdSize)
{
    if (maxIdSize.isEmpty() || maxIdSize.size() > 2 || !allDigits(maxIdSize))
        return std::nullopt;
    const qint64 n = maxIdSize.toLongLong();
    AvailableEntries e;
    e.adHoc = 61440 / (n + 2);
    e.sorted = 192512 / (n + 2);
    e.log = std::min<qint64>(4096 / (n + 8), 255) * 64;
    return e;
}

QString entriesText(qint64 value) { return QStringLiteral("%1").arg(value, 5, 10, QLatin1Char('0')); }

} // namespace config
