// The settings model: the name table every front end uses, the defaults that
// no command line shows, the screen rules that setting by name enforces, and
// the available entries for texts a screen cannot hold.
#include "config/settingtable.h"

#include "configtestsupport.h"

#include <QSet>
#include <QTest>

using namespace config;

class TstConfigTable : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyControlOnce_data();
    void everyControlOnce();
    void defaultsNotSent();
    void setByName_data();
    void setByName();
    void availableEntries_data();
    void availableEntries();
};

void TstConfigTable::everyControlOnce_data()
{
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QList<int>>("counts");  // texts, checks, options
    QTest::newRow("general") << "general" << QList<int>{7, 16, 12};
    QTest::newRow("wiegand") << "wiegand" << QList<int>{62, 30, 0};
    QTest::newRow("barcode") << "barcode" << QList<int>{131, 84, 3};
    QTest::newRow("comm430") << "comm430" << QList<int>{0, 0, 22};
}

void TstConfigTable::everyControlOnce()
{
    QFETCH(QString, screen);
    QList<int> counts{0, 0, 0};
    QSet<QString> names;
    for (const SettingInfo &i : settingTable()) {
        QVERIFY2(!names.contains(i.name), qPrintable(i.name));
        names.insert(i.name);
        QCOMPARE(findSetting(i.name), &i);
        QCOMPARE(i.name, i.screen + QLatin1Char('.') + i.control);
        if (i.screen == screen)
            ++counts[static_cast<int>(i.kind)];
    }
    QCOMPARE(counts, FETCHED(QList<int>, counts));
    QVERIFY(!findSetting(QStringLiteral("general.Text1(0)")));
}

void TstConfigTable::defaultsNotSent()
{
    // The command texts prove the rest; these never reach a command line.
    Settings s;
    applyConfigDefaults(s);
    const QList<QPair<const char *, const char *>> rows = {
        {"general.Text1(2)", "18"},   {"barcode.Check1(26)", "1"}, {"barcode.Check1(24)", "0"},
        {"barcode.Text1(3)", "00"},   {"barcode.Text3(3)", "04"},  {"barcode.Text2(15)", "000"},
        {"barcode.Text4(19)", "000"}, {"barcode.Check1(12)", "0"},
    };
    for (const auto &[name, value] : rows) {
        const SettingInfo *i = findSetting(QLatin1String(name));
        QVERIFY2(i, name);
        QCOMPARE(i->value(s), QLatin1String(value));
        QCOMPARE(defaultValue(*i), QLatin1String(value));
    }
}

void TstConfigTable::setByName_data()
{
    QTest::addColumn<QStringList>("sets");  // applied in order; the last one is judged
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("name");      // read back afterwards
    QTest::addColumn<QString>("value");

    const auto row = [](const char *tag, QStringList sets, bool ok, const char *name, const char *value) {
        QTest::newRow(tag) << sets << ok << QString::fromLatin1(name) << QString::fromLatin1(value);
    };
    row("text", {"general.Text1(2)=7"}, true, "general.Text1(2)", "7");
    row("text empty", {"general.Text1(2)="}, true, "general.Text1(2)", "");
    row("text too long", {"general.Text1(2)=100"}, false, "general.Text1(2)", "18");
    row("three digits fit D3", {"barcode.Text7(0)=255"}, true, "barcode.Text7(0)", "255");
    row("no limit", {"barcode.Text8(0)=12345"}, true, "barcode.Text8(0)", "12345");
    row("letters", {"wiegand.Text5=2C"}, false, "wiegand.Text5", "00");
    row("minus", {"barcode.Text6=-5"}, false, "barcode.Text6", "02");
    row("check 1", {"wiegand.Check25=1"}, true, "wiegand.Check25", "1");
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

void TstConfigTable::availableEntries_data()
{
    // The screen's digit filter keeps the rest out; 0, 8, 9, 18, 99 are checked there.
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("values");  // Ad Hoc, Sorted, Log; empty: nothing shown
    QTest::newRow("leading zero") << "07" << QStringList{"06826", "21390", "16320"};
    QTest::newRow("empty") << "" << QStringList();
    QTest::newRow("not a number") << "1x" << QStringList();
    QTest::newRow("too long") << "100" << QStringList();
}

void TstConfigTable::availableEntries()
{
    const auto e = config::availableEntries(FETCHED(QString, text));
    const QStringList got = e ? QStringList{entriesText(e->adHoc), entriesText(e->sorted), entriesText(e->log)}
                              : QStringList();
    QCOMPARE(got, FETCHED(QStringList, values));
}

QTEST_GUILESS_MAIN(TstConfigTable)
#include "tst_config_table.moc"
