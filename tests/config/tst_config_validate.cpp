// The parameter check: one data row per message, the first failure only,
// warnings written and the check going on. Where the lines land is checked
// with the run.
#include "config/settingtable.h"
#include "config/validate.h"
#include "configtestsupport.h"

#include <QTest>

using namespace config;

namespace {

// Writes "name=value" straight into the fields, past the screen rules: the
// check must cope with whatever the screen holds.
void setRaw(Settings &s, const QStringList &sets)
{
    for (const QString &c : sets) {
        const auto eq = c.indexOf(QLatin1Char('='));
        const SettingInfo *i = findSetting(c.left(eq));
        if (!i)
            qFatal("unknown %s", qPrintable(c));
        if (i->kind == SettingKind::Text)
            i->text(s) = c.mid(eq + 1);
        else
            i->check(s) = c.mid(eq + 1) == QLatin1String("1");
    }
}

QString wie(const char *kind, int format, const char *field, const char *what)
{
    return QStringLiteral("%1 - Wie/prox format %2 - %3 %4")
        .arg(QLatin1String(kind))
        .arg(format)
        .arg(QLatin1String(field), QLatin1String(what));
}
const char *const kStart0 = "field has a length but specifies start of 0";
const char *const kBeyond = "field goes beyond end of bit stream";
const char *const kChars = "bit length may not fit in character size";

} // namespace

class TstConfigValidate : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void check_data()
    {
        QTest::addColumn<QStringList>("sets");
        QTest::addColumn<QStringList>("after"); // lines after "Checking Parameters"
        QTest::addColumn<bool>("pass");

        const auto row = [](const QString &tag, const QStringList &sets, const QStringList &after, bool pass) {
            QTest::newRow(qPrintable(tag)) << sets << after << pass;
        };
        // Each field on its own gives the same message.
        const auto each = [&row](const QStringList &sets, const char *message) {
            for (const QString &set : sets)
                row(set, {set}, {QLatin1String(message)}, false);
        };
        row("defaults pass quietly", {}, {}, true);
        each({"wiegand.Text1(29)=", "wiegand.Text1(0)=  "}, "Error - Empty field in wiegand/prox formatting");
        each({"wiegand.Text2(14)=", "wiegand.Text3(7)="}, "Error - Empty field in wiegand/prox masking");
        each({"wiegand.Text4="}, "Error - Empty field - magstripe length");
        each({"wiegand.Text5="}, "Error - Empty field - magstripe sep char");
        each({"barcode.Text5(9)=", "barcode.Text7(0)="}, "Error - Empty field in barcode masking");
        each({"barcode.Text8(1)="}, "Error - Empty field in barcode masking length");
        each({"barcode.Text6="}, "Error - Empty field in barcode timeout");
        each({"barcode.Text1(3)=", "barcode.Text3(8)="}, "Error - Empty field in barcode length/#bars");
        each({"barcode.Text2(44)=", "barcode.Text4(0)="}, "Error - Empty field in barcode prefix/suffix");
        each({"barcode.Text6=1", "barcode.Text6=16", "barcode.Text6=0"},
             "Error - Barcode timeout must be between 2 and 15");
        each({"general.Text5(4)=26"}, "Error - Relay time cannot be greater than 25");
        each({"general.Text5(2)=26", "general.Text5(3)=99"}, "Error - Led trigger time cannot be greater than 25");
        each({"general.Text5(0)=", "general.Text5(1)="}, "Error - Empty field in speaker time");
        // An empty relay or led time passes the range test, then is empty.
        each({"general.Text5(4)=", "general.Text5(2)="}, "Error - Empty field relay/rte settings");
        for (const char *ok : {"barcode.Text6=2", "barcode.Text6=15", "general.Text5(4)=25"})
            row(QLatin1String(ok), {QLatin1String(ok)}, {}, true);

        // Every message of the format checks, for every field of every format.
        // wiegand.Text1 indices per field: Start, Length, Chars, then the format's Total Bits.
        const int fields[3][3][4] = {{{1, 4, 6, 3}, {0, 5, 7, 3}, {2, 8, 9, 3}},
                                     {{10, 12, 17, 16}, {11, 13, 18, 16}, {14, 15, 19, 16}},
                                     {{20, 22, 27, 26}, {21, 23, 28, 26}, {24, 25, 29, 26}}};
        const char *const names[3] = {"site", "id", "issue"};
        for (int f = 0; f < 3; ++f)
            for (int n = 0; n < 3; ++n) {
                const auto t = [&](int k, int v) {
                    return QStringLiteral("wiegand.Text1(%1)=%2").arg(fields[f][n][k]).arg(v);
                };
                const QString tag = QStringLiteral("format %1 %2 ").arg(f + 1).arg(QLatin1String(names[n]));
                row(tag + "start of 0", {t(0, 0), t(1, 1)}, {wie("Error", f + 1, names[n], kStart0)}, false);
                // An absent field (Length 0) past the end counts too.
                row(tag + "beyond", {t(0, 99), t(1, 0)}, {wie("Error", f + 1, names[n], kBeyond)}, false);
                // A 4-bit field inside a 40-bit stream needs 2 characters; give it 1.
                row(tag + "chars", {t(3, 40), t(0, 30), t(1, 4), t(2, 1)}, {wie("Warning", f + 1, names[n], kChars)},
                    true);
            }
        row("f1 id ends at 26 passes, warns 6 digits", {"wiegand.Text1(5)=17"}, {wie("Warning", 1, "id", kChars)},
            true);
        row("f1 id ends at 27", {"wiegand.Text1(5)=18"}, {wie("Error", 1, "id", kBeyond)}, false);
        row("start-of-0 before end-of-stream within a format", {"wiegand.Text1(4)=40", "wiegand.Text1(8)=1"},
            {wie("Error", 1, "issue", kStart0)}, false);
        row("format 1 before format 2", {"wiegand.Text1(5)=18", "wiegand.Text1(13)=4"},
            {wie("Error", 1, "id", kBeyond)}, false);
        row("warnings in order, then continue",
            {"wiegand.Text1(6)=2", "wiegand.Text1(7)=0", "wiegand.Text1(26)=40", "wiegand.Text1(24)=1",
             "wiegand.Text1(25)=4"},
            {wie("Warning", 1, "site", kChars), wie("Warning", 1, "id", kChars), wie("Warning", 3, "issue", kChars)},
            true);
        row("warning then a later error", {"wiegand.Text1(7)=4", "barcode.Text6=1"},
            {wie("Warning", 1, "id", kChars), "Error - Barcode timeout must be between 2 and 15"}, false);
        // 64 bits need 20 digits; the table's entry 65 is 0; longer fields have no
        // entry and are always warned about.
        const QStringList wide{"wiegand.Text1(16)=99", "wiegand.Text1(10)=1"};
        row("length 64 needs 20", wide + QStringList{"wiegand.Text1(12)=64", "wiegand.Text1(17)=19"},
            {wie("Warning", 2, "site", kChars)}, true);
        row("length 65 table entry 0", wide + QStringList{"wiegand.Text1(12)=65"}, {}, true);
        row("length above 65 warns", wide + QStringList{"wiegand.Text1(12)=66", "wiegand.Text1(17)=99"},
            {wie("Warning", 2, "site", kChars)}, true);
        row("several wrong: first only", {"general.Text5(4)=30", "barcode.Text6=", "wiegand.Text3(0)="},
            {"Error - Empty field in wiegand/prox masking"}, false);
        row("not checked: max id, relay/led time", {"general.Text1(2)=", "general.Text1(1)="}, {}, true);
    }

    void check()
    {
        Settings s;
        applyConfigDefaults(s);
        setRaw(s, FETCHED(QStringList, sets));
        const Settings before = s;
        const CheckReport r = checkParameters(s, core::digitWidthData());
        QCOMPARE(r.lines, QStringList{"Checking Parameters"} + FETCHED(QStringList, after));
        QCOMPARE(r.pass, FETCHED(bool, pass));
        for (const SettingInfo &i : settingTable())
            QCOMPARE(i.value(s), i.value(before)); // reads only
    }
};

QTEST_GUILESS_MAIN(TstConfigValidate)
#include "tst_config_validate.moc"
