// The parameter check: one data row per message, the first failure only,
// warnings written and the check going on.
#include "config/settingtable.h"
#include "config/validate.h"
#include "configtestsupport.h"

#include <QTest>

using namespace config;

namespace {

using Edit = std::function<void(Settings &)>;

// Sets a field directly (the check must cope with what the screen holds).
Edit set(const char *name, const char *value)
{
    return [n = QString::fromLatin1(name), v = QString::fromLatin1(value)](Settings &s) {
        const SettingInfo *i = findSetting(n);
        if (!i)
            qFatal("unknown %s", qPrintable(n));
        if (i->kind == SettingKind::Text)
            i->text(s) = v;
        else
            i->check(s) = v == QLatin1String("1");
    };
}

Edit all(std::initializer_list<Edit> edits)
{
    std::vector<Edit> v(edits);
    return [v](Settings &s) {
        for (const Edit &e : v)
            e(s);
    };
}


} // namespace

Q_DECLARE_METATYPE(Edit)

class TstConfigValidate : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void check_data();
    void check();
    void formatMessages_data();
    void formatMessages();
    void writesIntoLeftPaneAfterClearing();
};

void TstConfigValidate::check_data()
{
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<QStringList>("after"); // lines after "Checking Parameters"
    QTest::addColumn<bool>("pass");

    QTest::newRow("defaults pass quietly") << Edit([](Settings &) {}) << QStringList() << true;
    QTest::newRow("empty format field") << set("wiegand.Text1(29)", "")
                                        << QStringList{"Error - Empty field in wiegand/prox formatting"} << false;
    QTest::newRow("blank counts as empty")
        << set("wiegand.Text1(0)", "  ") << QStringList{"Error - Empty field in wiegand/prox formatting"} << false;
    QTest::newRow("empty mask start") << set("wiegand.Text2(14)", "")
                                      << QStringList{"Error - Empty field in wiegand/prox masking"} << false;
    QTest::newRow("empty mask value") << set("wiegand.Text3(7)", "")
                                      << QStringList{"Error - Empty field in wiegand/prox masking"} << false;
    QTest::newRow("magstripe length") << set("wiegand.Text4", "")
                                      << QStringList{"Error - Empty field - magstripe length"} << false;
    QTest::newRow("sep char") << set("wiegand.Text5", "") << QStringList{"Error - Empty field - magstripe sep char"}
                              << false;
    QTest::newRow("f1 site start 0")
        << set("wiegand.Text1(1)", "0")
        << QStringList{QStringLiteral("Error - Wie/prox format 1 - site field has a length but specifies start of 0")}
        << false;
    QTest::newRow("f2 id start 0") << set("wiegand.Text1(13)", "4")
                                   << QStringList{QStringLiteral(
                                          "Error - Wie/prox format 2 - id field has a length but specifies start of 0")}
                                   << false;
    QTest::newRow("f3 issue start 0")
        << set("wiegand.Text1(25)", "1")
        << QStringList{QStringLiteral("Error - Wie/prox format 3 - issue field has a length but specifies start of 0")}
        << false;
    QTest::newRow("f1 id ends at 26 passes, warns 6 digits")
        << set("wiegand.Text1(5)", "17")
        << QStringList{QStringLiteral("Warning - Wie/prox format 1 - id bit length may not fit in character size")}
        << true;
    QTest::newRow("f1 id ends at 27") << set("wiegand.Text1(5)", "18")
                                      << QStringList{QStringLiteral(
                                             "Error - Wie/prox format 1 - id field goes beyond end of bit stream")}
                                      << false;
    QTest::newRow("absent issue beyond end")
        << set("wiegand.Text1(2)", "30")
        << QStringList{QStringLiteral("Error - Wie/prox format 1 - issue field goes beyond end of bit stream")}
        << false;
    QTest::newRow("f2 site beyond")
        << all({set("wiegand.Text1(10)", "1"), set("wiegand.Text1(12)", "8"), set("wiegand.Text1(16)", "7")})
        << QStringList{QStringLiteral("Error - Wie/prox format 2 - site field goes beyond end of bit stream")} << false;
    QTest::newRow("f3 id beyond") << all({set("wiegand.Text1(21)", "2"), set("wiegand.Text1(23)", "1")})
                                  << QStringList{QStringLiteral(
                                         "Error - Wie/prox format 3 - id field goes beyond end of bit stream")}
                                  << false;
    QTest::newRow("start-of-0 before end-of-stream within a format")
        << all({set("wiegand.Text1(4)", "40"), set("wiegand.Text1(8)", "1")})
        << QStringList{QStringLiteral("Error - Wie/prox format 1 - issue field has a length but specifies start of 0")}
        << false;
    QTest::newRow("format 1 failure before format 2")
        << all({set("wiegand.Text1(5)", "18"), set("wiegand.Text1(13)", "4")})
        << QStringList{QStringLiteral("Error - Wie/prox format 1 - id field goes beyond end of bit stream")} << false;
    QTest::newRow("id chars 4 warns") << set(
        "wiegand.Text1(7)",
        "4") << QStringList{QStringLiteral("Warning - Wie/prox format 1 - id bit length may not fit in character size")}
                                      << true;
    QTest::newRow("warnings in order, then continue")
        << all({set("wiegand.Text1(6)", "2"), set("wiegand.Text1(7)", "0"), set("wiegand.Text1(26)", "40"),
                set("wiegand.Text1(24)", "1"), set("wiegand.Text1(25)", "4")})
        << QStringList{QStringLiteral("Warning - Wie/prox format 1 - site bit length may not fit in character size"),
                       QStringLiteral("Warning - Wie/prox format 1 - id bit length may not fit in character size"),
                       QStringLiteral("Warning - Wie/prox format 3 - issue bit length may not fit in character size")}
        << true;
    QTest::newRow("warning then a later error")
        << all({set("wiegand.Text1(7)", "4"), set("barcode.Text6", "1")})
        << QStringList{QStringLiteral("Warning - Wie/prox format 1 - id bit length may not fit in character size"),
                       "Error - Barcode timeout must be between 2 and 15"}
        << false;
    // 64 bits need 20 digits; the table's entry 65 is 0; longer fields have no
    // entry and are always warned about.
    QTest::newRow("length 64 needs 20")
        << all({set("wiegand.Text1(16)", "99"), set("wiegand.Text1(10)", "1"), set("wiegand.Text1(12)", "64"),
                set("wiegand.Text1(17)", "19")})
        << QStringList{QStringLiteral("Warning - Wie/prox format 2 - site bit length may not fit in character size")}
        << true;
    QTest::newRow("length 65 table entry 0")
        << all({set("wiegand.Text1(16)", "99"), set("wiegand.Text1(10)", "1"), set("wiegand.Text1(12)", "65")})
        << QStringList() << true;
    QTest::newRow("length above 65 warns")
        << all({set("wiegand.Text1(16)", "99"), set("wiegand.Text1(10)", "1"), set("wiegand.Text1(12)", "66"),
                set("wiegand.Text1(17)", "99")})
        << QStringList{QStringLiteral("Warning - Wie/prox format 2 - site bit length may not fit in character size")}
        << true;
    QTest::newRow("barcode mask start") << set("barcode.Text5(9)", "")
                                        << QStringList{"Error - Empty field in barcode masking"} << false;
    QTest::newRow("barcode mask value") << set("barcode.Text7(0)", "")
                                        << QStringList{"Error - Empty field in barcode masking"} << false;
    QTest::newRow("barcode mask length") << set("barcode.Text8(1)", "")
                                         << QStringList{"Error - Empty field in barcode masking length"} << false;
    QTest::newRow("timeout empty") << set("barcode.Text6", "") << QStringList{"Error - Empty field in barcode timeout"}
                                   << false;
    QTest::newRow("len empty") << set("barcode.Text1(3)", "")
                               << QStringList{"Error - Empty field in barcode length/#bars"} << false;
    QTest::newRow("bars empty") << set("barcode.Text3(8)", "")
                                << QStringList{"Error - Empty field in barcode length/#bars"} << false;
    QTest::newRow("prefix empty") << set("barcode.Text2(44)", "")
                                  << QStringList{"Error - Empty field in barcode prefix/suffix"} << false;
    QTest::newRow("suffix empty") << set("barcode.Text4(0)", "")
                                  << QStringList{"Error - Empty field in barcode prefix/suffix"} << false;
    for (const char *t : {"1", "16", "0"})
        QTest::addRow("timeout %s", t) << set("barcode.Text6", t)
                                       << QStringList{"Error - Barcode timeout must be between 2 and 15"} << false;
    QTest::newRow("timeout 2") << set("barcode.Text6", "2") << QStringList() << true;
    QTest::newRow("timeout 15") << set("barcode.Text6", "15") << QStringList() << true;
    QTest::newRow("relay 25") << set("general.Text5(4)", "25") << QStringList() << true;
    QTest::newRow("relay 26") << set("general.Text5(4)", "26")
                              << QStringList{"Error - Relay time cannot be greater than 25"} << false;
    QTest::newRow("led barcode 26") << set("general.Text5(2)", "26")
                                    << QStringList{"Error - Led trigger time cannot be greater than 25"} << false;
    QTest::newRow("led wie 99") << set("general.Text5(3)", "99")
                                << QStringList{"Error - Led trigger time cannot be greater than 25"} << false;
    QTest::newRow("speaker BC empty") << set("general.Text5(0)", "")
                                      << QStringList{"Error - Empty field in speaker time"} << false;
    QTest::newRow("speaker wie empty") << set("general.Text5(1)", "")
                                       << QStringList{"Error - Empty field in speaker time"} << false;
    QTest::newRow("empty relay time passes range, then empty")
        << set("general.Text5(4)", "") << QStringList{"Error - Empty field relay/rte settings"} << false;
    QTest::newRow("empty led time") << set("general.Text5(2)", "")
                                    << QStringList{"Error - Empty field relay/rte settings"} << false;
    QTest::newRow("several wrong: first only")
        << all({set("general.Text5(4)", "30"), set("barcode.Text6", ""), set("wiegand.Text3(0)", "")})
        << QStringList{"Error - Empty field in wiegand/prox masking"} << false;
    QTest::newRow("not checked: max id, relay/led time, comm430")
        << all({set("general.Text1(2)", ""), set("general.Text1(1)", "")}) << QStringList() << true;
}

void TstConfigValidate::check()
{
    QFETCH(Edit, edit);
    Settings s;
    applyConfigDefaults(s);
    edit(s);
    const Settings before = s;
    const CheckReport r = checkParameters(s, core::digitWidthData());
    QCOMPARE(r.lines, QStringList{"Checking Parameters"} + FETCHED(QStringList, after));
    QCOMPARE(r.pass, FETCHED(bool, pass));
    for (const SettingInfo &i : settingTable())
        QCOMPARE(i.value(s), i.value(before));  // reads only
}

void TstConfigValidate::formatMessages_data()
{
    QTest::addColumn<int>("format");  // 1..3
    QTest::addColumn<int>("field");   // 0 site, 1 id, 2 issue
    QTest::addColumn<int>("test");    // 0 start of 0, 1 end of bit stream, 2 character size
    QTest::addColumn<QString>("message");
    // Every message of the format checks, as the controller tools word them.
    const char *const messages[9][3] = {
        // 1, Site
        {"Error - Wie/prox format 1 - site field has a length but specifies start of 0",
         "Error - Wie/prox format 1 - site field goes beyond end of bit stream",
         "Warning - Wie/prox format 1 - site bit length may not fit in character size"},
        // 1, ID
        {"Error - Wie/prox format 1 - id field has a length but specifies start of 0",
         "Error - Wie/prox format 1 - id field goes beyond end of bit stream",
         "Warning - Wie/prox format 1 - id bit length may not fit in character size"},
        // 1, Issue
        {"Error - Wie/prox format 1 - issue field has a length but specifies start of 0",
         "Error - Wie/prox format 1 - issue field goes beyond end of bit stream",
         "Warning - Wie/prox format 1 - issue bit length may not fit in character size"},
        // 2, Site
        {"Error - Wie/prox format 2 - site field has a length but specifies start of 0",
         "Error - Wie/prox format 2 - site field goes beyond end of bit stream",
         "Warning - Wie/prox format 2 - site bit length may not fit in character size"},
        // 2, ID
        {"Error - Wie/prox format 2 - id field has a length but specifies start of 0",
         "Error - Wie/prox format 2 - id field goes beyond end of bit stream",
         "Warning - Wie/prox format 2 - id bit length may not fit in character size"},
        // 2, Issue
        {"Error - Wie/prox format 2 - issue field has a length but specifies start of 0",
         "Error - Wie/prox format 2 - issue field goes beyond end of bit stream",
         "Warning - Wie/prox format 2 - issue bit length may not fit in character size"},
        // 3, Site
        {"Error - Wie/prox format 3 - site field has a length but specifies start of 0",
         "Error - Wie/prox format 3 - site field goes beyond end of bit stream",
         "Warning - Wie/prox format 3 - site bit length may not fit in character size"},
        // 3, ID
        {"Error - Wie/prox format 3 - id field has a length but specifies start of 0",
         "Error - Wie/prox format 3 - id field goes beyond end of bit stream",
         "Warning - Wie/prox format 3 - id bit length may not fit in character size"},
        // 3, Issue
        {"Error - Wie/prox format 3 - issue field has a length but specifies start of 0",
         "Error - Wie/prox format 3 - issue field goes beyond end of bit stream",
         "Warning - Wie/prox format 3 - issue bit length may not fit in character size"},
    };
    const char *const tests[3] = {"start of 0", "end of stream", "character size"};
    const char *const fields[3] = {"site", "id", "issue"};
    for (int f = 1; f <= 3; ++f)
        for (int F = 0; F < 3; ++F)
            for (int t = 0; t < 3; ++t)
                QTest::addRow("format %d %s %s", f, fields[F], tests[t])
                    << f << F << t << QString::fromLatin1(messages[3 * (f - 1) + F][t]);
}

void TstConfigValidate::formatMessages()
{
    QFETCH(int, format);
    QFETCH(int, field);
    QFETCH(int, test);
    // wiegand.Text1 indices per format: Starts, Lengths, Chars (site, id, issue), Total Bits.
    const int start[3][3] = {{1, 0, 2}, {10, 11, 14}, {20, 21, 24}};
    const int length[3][3] = {{4, 5, 8}, {12, 13, 15}, {22, 23, 25}};
    const int chars[3][3] = {{6, 7, 9}, {17, 18, 19}, {27, 28, 29}};
    const int total[3] = {3, 16, 26};
    const int f = format - 1;
    Settings s;
    applyConfigDefaults(s);
    auto text = [&s](int i) -> QString & { return s.wiegand.Text1[i]; };
    switch (test) {
    case 0:
        text(start[f][field]) = QStringLiteral("0");
        text(length[f][field]) = QStringLiteral("1");
        break;
    case 1:
        // One bit past Total Bits (an absent field too, Length 0).
        text(start[f][field]) = QString::number(text(total[f]).toInt() + 2);
        text(length[f][field]) = QStringLiteral("0");
        break;
    default:
        // A 4-bit field inside a 40-bit stream needs 2 characters; give it 1.
        text(total[f]) = QStringLiteral("40");
        text(start[f][field]) = QStringLiteral("30");
        text(length[f][field]) = QStringLiteral("4");
        text(chars[f][field]) = QStringLiteral("1");
        break;
    }
    const CheckReport r = checkParameters(s, core::digitWidthData());
    QCOMPARE(r.lines, (QStringList{"Checking Parameters", FETCHED(QString, message)}));
    QCOMPARE(r.pass, test == 2);
}

void TstConfigValidate::writesIntoLeftPaneAfterClearing()
{
    testing::RecordedPanes panes;
    panes.left.append(QStringLiteral("old"));
    panes.right.append(QStringLiteral("old"));
    Settings s;
    applyConfigDefaults(s);
    s.wiegand.Text1[7] = QStringLiteral("4");
    QVERIFY(ValidateParameters(s, core::digitWidthData(), panes));
    QCOMPARE(panes.clears, 1);
    QCOMPARE(
        panes.left.lines,
        (QStringList{"Checking Parameters",
                     QStringLiteral("Warning - Wie/prox format 1 - id bit length may not fit in character size")}));
    QVERIFY(panes.right.lines.isEmpty());
}

QTEST_GUILESS_MAIN(TstConfigValidate)
#include "tst_config_validate.moc"
