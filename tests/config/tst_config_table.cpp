// The settings model: the name table every front end uses and the screen
// rules that setting by name enforces.
#include "config/settingtable.h"

#include "configtestsupport.h"

#include <QMap>
#include <QSet>
#include <QTest>

using namespace config;

class TstConfigTable : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyControlOnce();
    void setByName_data();
    void setByName();
};

void TstConfigTable::everyControlOnce()
{
    // Texts, checks and options per screen: a lost or doubled row shows here.
    const QMap<QString, QList<int>> expected{
        {"general", {7, 16, 12}}, {"wiegand", {62, 30, 0}}, {"barcode", {131, 84, 3}}, {"comm430", {0, 0, 22}}};
    QMap<QString, QList<int>> counts;
    QSet<QString> names;
    for (const SettingInfo &i : settingTable()) {
        QVERIFY2(!names.contains(i.name), qPrintable(i.name));
        names.insert(i.name);
        QCOMPARE(findSetting(i.name), &i);
        QCOMPARE(i.name, i.screen + QLatin1Char('.') + i.control);
        counts[i.screen].resize(3);
        ++counts[i.screen][static_cast<int>(i.kind)];
    }
    QCOMPARE(counts, expected);
    QVERIFY(!findSetting(QStringLiteral("general.Text1(0)")));
}

void TstConfigTable::setByName_data()
{
    QTest::addColumn<QStringList>("sets"); // applied in order; the last one is judged
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("name");      // read back afterwards
    QTest::addColumn<QString>("value");

    const auto row = [](const char *tag, QStringList sets, bool ok, const char *name, const char *value) {
        QTest::newRow(tag) << sets << ok << QString::fromLatin1(name) << QString::fromLatin1(value);
    };
    row("text empty", {"general.Text1(2)="}, true, "general.Text1(2)", "");
    row("text too long", {"general.Text1(2)=100"}, false, "general.Text1(2)", "18");
    row("three digits fit D3", {"barcode.Text7(0)=255"}, true, "barcode.Text7(0)", "255");
    row("no limit", {"barcode.Text8(0)=12345"}, true, "barcode.Text8(0)", "12345");
    row("letters", {"wiegand.Text5=2C"}, false, "wiegand.Text5", "00");
    row("minus", {"barcode.Text6=-5"}, false, "barcode.Text6", "02");
    row("check 2", {"wiegand.Check25=2"}, false, "wiegand.Check25", "0");
    row("option clears group", {"general.Option14=1"}, true, "general.Option15", "0");
    row("option 0 on selected", {"general.Option15=0"}, true, "general.Option15", "0");
    row("option 0 on other leaves group", {"general.Option14=0"}, true, "general.Option15", "1");
    row("groups independent", {"comm430.Option1(0)=1"}, true, "comm430.Option1(7)", "1");
    row("parity group apart from baud", {"comm430.Option1(4)=1"}, true, "comm430.Option1(2)", "1");
    row("unknown", {"general.Text9=1"}, false, "general.Text1(2)", "18");
    row("disabled cell", {"barcode.Check1(12)=1"}, false, "barcode.Check1(12)", "0");
    row("disabled cell kept 0", {"barcode.Check1(12)=0"}, true, "barcode.Check1(12)", "0");
    row("disabled len", {"barcode.Text1(7)=12"}, false, "barcode.Text1(7)", "00");
    row("const forces start", {"barcode.Text5(3)=12", "barcode.Check4(3)=1"}, true, "barcode.Text5(3)", "00");
    row("locked start refuses", {"wiegand.Check10=1", "wiegand.Text2(8)=12"}, false, "wiegand.Text2(8)", "00");
    row("const cleared keeps 00", {"wiegand.Text2(8)=12", "wiegand.Check10=1", "wiegand.Check10=0"}, true,
        "wiegand.Text2(8)", "00");
    row("unlocked again", {"wiegand.Check10=1", "wiegand.Check10=0", "wiegand.Text2(8)=12"}, true,
        "wiegand.Text2(8)", "12");
    row("const leaves len/value", {"wiegand.Text3(8)=77", "wiegand.Check10=1"}, true, "wiegand.Text3(8)", "77");
}

void TstConfigTable::setByName()
{
    Settings s;
    applyConfigDefaults(s);
    QString error;
    const bool ok = testing::applySettings(s, FETCHED(QStringList, sets), &error);
    QCOMPARE(ok, FETCHED(bool, ok));
    QCOMPARE(error.isEmpty(), ok);
    QCOMPARE(findSetting(FETCHED(QString, name))->value(s), FETCHED(QString, value));
}

QTEST_GUILESS_MAIN(TstConfigTable)
#include "tst_config_table.moc"
