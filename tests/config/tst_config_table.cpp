// The settings model: start-up defaults, the name table every front end uses,
// the screen rules that setting by name enforces, and the derived values.
#include "config/settingtable.h"

#include <QSet>
#include "configtestsupport.h"

#include <QTest>

using namespace config;

class TstConfigTable : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyControlOnce_data();
    void everyControlOnce();
    void defaults_data();
    void defaults();
    void setByName_data();
    void setByName();
    void constPairs_data();
    void constPairs();
    void availableEntries_data();
    void availableEntries();
};

void TstConfigTable::everyControlOnce_data()
{
    QTest::addColumn<QString>("screen");
    QTest::addColumn<int>("texts");
    QTest::addColumn<int>("checks");
    QTest::addColumn<int>("options");
    // general: Text1(1,2), Text5(0..4); Check1(0..2), Check2..6, Check7(0), Check8(0..6); 12 options.
    QTest::newRow("general") << "general" << 7 << 16 << 12;
    QTest::newRow("wiegand") << "wiegand" << 30 + 15 + 15 + 2 << 30 << 0;
    QTest::newRow("barcode") << "barcode" << 9 + 9 + 45 + 45 + 10 + 10 + 2 + 1 << 72 + 10 + 2 << 3;
    QTest::newRow("comm430") << "comm430" << 0 << 0 << 22;
}

void TstConfigTable::everyControlOnce()
{
    QFETCH(QString, screen);
    int counts[3] = {0, 0, 0};
    QSet<QString> names;
    for (const SettingInfo &i : settingTable()) {
        QVERIFY2(!names.contains(i.name), qPrintable(i.name));
        names.insert(i.name);
        QCOMPARE(findSetting(i.name), &i);
        QCOMPARE(i.name, i.screen + QLatin1Char('.') + i.control);
        if (i.screen == screen)
            ++counts[static_cast<int>(i.kind)];
    }
    QCOMPARE(counts[0], FETCHED(int, texts));
    QCOMPARE(counts[1], FETCHED(int, checks));
    QCOMPARE(counts[2], FETCHED(int, options));
    QVERIFY(!findSetting(QStringLiteral("general.Text1(0)")));
    QVERIFY(!findSetting(QStringLiteral("wiegand.Check0")));
}

void TstConfigTable::defaults_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    const QList<QPair<const char *, const char *>> rows = {
        {"general.Option12", "1"}, {"general.Option13", "0"}, {"general.Option14", "0"}, {"general.Option15", "1"},
        {"general.Option16", "0"}, {"general.Option1(1)", "1"}, {"general.Option1(2)", "0"},
        {"general.Option1(4)", "1"}, {"general.Option1(3)", "0"}, {"general.Text1(2)", "18"},
        {"general.Text1(1)", "05"}, {"general.Check1(2)", "1"}, {"general.Check1(1)", "0"},
        {"general.Check2", "1"}, {"general.Check6", "1"}, {"general.Check8(6)", "0"}, {"general.Text5(0)", "50"},
        {"general.Text5(1)", "50"}, {"general.Text5(4)", "00"},
        {"wiegand.Text1(1)", "02"}, {"wiegand.Text1(4)", "08"}, {"wiegand.Text1(6)", "03"},
        {"wiegand.Text1(0)", "10"}, {"wiegand.Text1(5)", "16"}, {"wiegand.Text1(7)", "05"},
        {"wiegand.Text1(3)", "26"}, {"wiegand.Text1(2)", "00"}, {"wiegand.Text1(29)", "00"},
        {"wiegand.Text2(14)", "00"}, {"wiegand.Text3(14)", "000"}, {"wiegand.Check13", "0"},
        {"wiegand.Text4", "00"}, {"wiegand.Text5", "00"}, {"wiegand.Check30", "0"},
        {"barcode.Check1(26)", "1"}, {"barcode.Check1(2)", "1"}, {"barcode.Check1(66)", "1"}, {"barcode.Check1(70)", "0"},
        {"barcode.Check1(0)", "0"}, {"barcode.Check1(33)", "0"}, {"barcode.Text1(3)", "00"},
        {"barcode.Text3(3)", "04"}, {"barcode.Text2(15)", "000"}, {"barcode.Text4(44)", "000"},
        {"barcode.Text5(9)", "00"}, {"barcode.Text7(5)", "000"}, {"barcode.Text8(1)", "00"},
        {"barcode.Text6", "02"}, {"barcode.Option1(2)", "1"}, {"barcode.Option1(0)", "0"},
        {"comm430.Option1(2)", "1"}, {"comm430.Option5(1)", "1"}, {"comm430.Option1(7)", "1"},
        {"comm430.Option5(2)", "1"}, {"comm430.Option1(0)", "0"}, {"comm430.Option4(2)", "0"},
    };
    for (const auto &[n, v] : rows)
        QTest::newRow(n) << QString::fromLatin1(n) << QString::fromLatin1(v);
}

void TstConfigTable::defaults()
{
    QFETCH(QString, name);
    const SettingInfo *i = findSetting(name);
    QVERIFY(i);
    QCOMPARE(defaultValue(*i), FETCHED(QString, value));
    Settings s;
    applyConfigDefaults(s);
    QCOMPARE(i->value(s), defaultValue(*i));
}

void TstConfigTable::setByName_data()
{
    QTest::addColumn<QStringList>("sets");  // applied in order; the last one is judged
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("name");      // read back afterwards
    QTest::addColumn<QString>("value");

    QTest::newRow("text") << QStringList{"general.Text1(2)=7"} << true << "general.Text1(2)" << "7";
    QTest::newRow("text empty") << QStringList{"general.Text1(2)="} << true << "general.Text1(2)" << "";
    QTest::newRow("text too long") << QStringList{"general.Text1(2)=100"} << false << "general.Text1(2)" << "18";
    QTest::newRow("three digits fit D3") << QStringList{"barcode.Text7(0)=255"} << true << "barcode.Text7(0)"
                                         << "255";
    QTest::newRow("no limit") << QStringList{"barcode.Text8(0)=12345"} << true << "barcode.Text8(0)" << "12345";
    QTest::newRow("letters") << QStringList{"wiegand.Text5=2C"} << false << "wiegand.Text5" << "00";
    QTest::newRow("minus") << QStringList{"barcode.Text6=-5"} << false << "barcode.Text6" << "02";
    QTest::newRow("check 1") << QStringList{"wiegand.Check25=1"} << true << "wiegand.Check25" << "1";
    QTest::newRow("check 2") << QStringList{"wiegand.Check25=2"} << false << "wiegand.Check25" << "0";
    QTest::newRow("check empty") << QStringList{"wiegand.Check25="} << false << "wiegand.Check25" << "0";
    QTest::newRow("option clears group") << QStringList{"general.Option14=1"} << true << "general.Option15" << "0";
    QTest::newRow("option selected") << QStringList{"general.Option14=1"} << true << "general.Option14" << "1";
    QTest::newRow("option 0 on selected") << QStringList{"general.Option15=0"} << true << "general.Option15" << "0";
    QTest::newRow("option 0 on other leaves group") << QStringList{"general.Option14=0"} << true
                                                    << "general.Option15" << "1";
    QTest::newRow("groups independent") << QStringList{"comm430.Option1(0)=1"} << true << "comm430.Option1(7)"
                                        << "1";
    QTest::newRow("parity group apart from baud") << QStringList{"comm430.Option1(4)=1"} << true
                                                  << "comm430.Option1(2)" << "1";
    QTest::newRow("unknown") << QStringList{"general.Text9=1"} << false << "general.Text1(2)" << "18";
    QTest::newRow("disabled cell") << QStringList{"barcode.Check1(12)=1"} << false << "barcode.Check1(12)" << "0";
    QTest::newRow("disabled cell kept 0") << QStringList{"barcode.Check1(12)=0"} << true << "barcode.Check1(12)"
                                          << "0";
    QTest::newRow("disabled len") << QStringList{"barcode.Text1(7)=12"} << false << "barcode.Text1(7)" << "00";
    QTest::newRow("codabar SS enabled") << QStringList{"barcode.Check1(36)=1"} << true << "barcode.Check1(36)"
                                        << "1";
    QTest::newRow("hidden row holds values") << QStringList{"barcode.Check1(28)=1"} << true << "barcode.Check1(28)"
                                             << "1";
    QTest::newRow("const forces start") << QStringList{"barcode.Text5(3)=12", "barcode.Check4(3)=1"} << true
                                        << "barcode.Text5(3)" << "00";
    QTest::newRow("locked start refuses") << QStringList{"wiegand.Check10=1", "wiegand.Text2(8)=12"} << false
                                          << "wiegand.Text2(8)" << "00";
    QTest::newRow("const cleared keeps 00")
        << QStringList{"wiegand.Text2(8)=12", "wiegand.Check10=1", "wiegand.Check10=0"} << true << "wiegand.Text2(8)"
        << "00";
    QTest::newRow("unlocked again") << QStringList{"wiegand.Check10=1", "wiegand.Check10=0", "wiegand.Text2(8)=12"}
                                    << true << "wiegand.Text2(8)" << "12";
    QTest::newRow("const leaves len/value") << QStringList{"wiegand.Text3(8)=77", "wiegand.Check10=1"} << true
                                            << "wiegand.Text3(8)" << "77";
}

void TstConfigTable::setByName()
{
    QFETCH(QStringList, sets);
    Settings s;
    applyConfigDefaults(s);
    bool ok = true;
    QString error;
    for (const QString &c : sets) {
        const auto eq = c.indexOf(QLatin1Char('='));
        error.clear();
        ok = setSetting(s, c.left(eq), c.mid(eq + 1), &error);
    }
    QCOMPARE(ok, FETCHED(bool, ok));
    QCOMPARE(error.isEmpty(), ok);
    QCOMPARE(findSetting(FETCHED(QString, name))->value(s), FETCHED(QString, value));
}

void TstConfigTable::constPairs_data()
{
    QTest::addColumn<QString>("check");
    QTest::addColumn<QString>("start");
    QTest::newRow("wiegand set 1 top") << "wiegand.Check4" << "wiegand.Text2(0)";
    QTest::newRow("wiegand set 1 bottom") << "wiegand.Check8" << "wiegand.Text2(4)";
    QTest::newRow("wiegand set 2 top") << "wiegand.Check13" << "wiegand.Text2(5)";
    QTest::newRow("wiegand set 2 row 4") << "wiegand.Check10" << "wiegand.Text2(8)";
    QTest::newRow("wiegand set 2 bottom") << "wiegand.Check9" << "wiegand.Text2(9)";
    QTest::newRow("wiegand set 3 top") << "wiegand.Check21" << "wiegand.Text2(10)";
    QTest::newRow("wiegand set 3 bottom") << "wiegand.Check17" << "wiegand.Text2(14)";
    QTest::newRow("barcode 0") << "barcode.Check4(0)" << "barcode.Text5(0)";
    QTest::newRow("barcode 9") << "barcode.Check4(9)" << "barcode.Text5(9)";
}

void TstConfigTable::constPairs()
{
    QFETCH(QString, check);
    const ConstPair *p = constPairForCheck(check);
    QVERIFY(p);
    QCOMPARE(p->start, FETCHED(QString, start));
    QCOMPARE(constPairForStart(p->start), p);
    QCOMPARE(config::constPairs().size(), std::size_t(25));
}

void TstConfigTable::availableEntries_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QStringList>("values");  // Ad Hoc, Sorted, Log
    QTest::newRow("18") << "18" << true << QStringList{"03072", "09625", "10048"};
    QTest::newRow("0") << "0" << true << QStringList{"30720", "96256", "16320"};
    QTest::newRow("8") << "8" << true << QStringList{"06144", "19251", "16320"};
    QTest::newRow("9") << "9" << true << QStringList{"05585", "17501", "15360"};
    QTest::newRow("99") << "99" << true << QStringList{"00608", "01906", "02432"};
    QTest::newRow("07") << "07" << true << QStringList{"06826", "21390", "16320"};
    QTest::newRow("empty") << "" << false << QStringList();
    QTest::newRow("not a number") << "1x" << false << QStringList();
    QTest::newRow("too long") << "100" << false << QStringList();
}

void TstConfigTable::availableEntries()
{
    QFETCH(QString, text);
    const auto e = config::availableEntries(text);
    QCOMPARE(bool(e), FETCHED(bool, shown));
    if (e)
        QCOMPARE((QStringList{entriesText(e->adHoc), entriesText(e->sorted), entriesText(e->log)}),
                 FETCHED(QStringList, values));
}

QTEST_GUILESS_MAIN(TstConfigTable)
#include "tst_config_table.moc"
