// Settings by name (with the screen rules) and the command texts a run builds:
// the defaults give exactly the known lines, and each changed setting changes
// exactly the characters it owns.
#include "config/commands.h"
#include "config/settingtable.h"

#include "configtestsupport.h"
#include "defaultlines.h"

#include <QTest>

using namespace config;

namespace {

QByteArray zeros(int n) { return QByteArray(n, '0'); }

// The default lines with each given line in place of the default line for the
// same command (its first four characters, or first one for a stand-alone one).
QByteArrayList defaultsWith(const QByteArrayList &changed)
{
    QByteArrayList l = testing::defaultConfigLines();
    for (const QByteArray &line : changed) {
        const QByteArray key = line.left(line.startsWith('X') ? 4 : 1);
        const auto at = std::find_if(l.begin(), l.end(), [&](const QByteArray &x) { return x.startsWith(key); });
        if (at == l.end())
            qFatal("no default line starts with %s", key.constData());
        *at = line;
    }
    return l;
}

} // namespace

class TstConfigCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void setByName_data()
    {
        QTest::addColumn<QStringList>("sets"); // applied in order; the last one is judged
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("name"); // read back afterwards
        QTest::addColumn<QString>("value");

        const auto row = [](const char *tag, const QStringList &sets, bool ok, const char *name, const char *value) {
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

    void setByName()
    {
        Settings s;
        applyConfigDefaults(s);
        QString error;
        const bool ok = testing::applySettings(s, FETCHED(QStringList, sets), &error);
        QCOMPARE(ok, FETCHED(bool, ok));
        QCOMPARE(error.isEmpty(), ok);
        QCOMPARE(findSetting(FETCHED(QString, name))->value(s), FETCHED(QString, value));
    }

    void sequence_data()
    {
        QTest::addColumn<QString>("changes"); // "name=value" separated by blanks
        QTest::addColumn<bool>("idSizeChange");
        QTest::addColumn<QByteArrayList>("expected");

        const auto row = [](const char *tag, const char *changes, const QByteArrayList &changed) {
            QTest::newRow(tag) << QString::fromLatin1(changes) << false << defaultsWith(changed);
        };
        const QByteArrayList defaults = testing::defaultConfigLines();
        QByteArrayList withSize = defaults;
        withSize.insert(withSize.indexOf("|4"), "\\18");
        const auto afterLevel0 = defaults.indexOf("X0590") + 1;
        const QByteArrayList levels =
            defaults.mid(0, afterLevel0) + QByteArrayList{"X0591", "X0593", "X0594"} + defaults.mid(afterLevel0);
        QTest::newRow("defaults") << QString() << false << defaults;
        QTest::newRow("ID size accepted") << QString() << true << withSize;
        QTest::newRow("all levels") << "general.Check8(0)=1 general.Check8(1)=1 general.Check8(2)=1" << false << levels;
        row("online", "general.Option1(2)=1", {"|1"});
        row("codabar SS twice", "barcode.Check1(36)=1", {"X0390000110100004"});
        row("timeout 5", "barcode.Text6=5", {"X0560500"});
        row("timeout 1234 keeps its last two", "barcode.Text6=1234", {"X0563400"});
        row("mask length 123 keeps its last two", "barcode.Text8(0)=123", {"X01723" + zeros(25)});
        row("priority large, alpha delete", "barcode.Option1(1)=1 barcode.Check2=1", {"X0560221"});
        row("barcode row 3 is never sent",
            "barcode.Check1(24)=1 barcode.Check1(31)=1 barcode.Text1(3)=12 barcode.Text3(3)=9 barcode.Text2(15)=123 "
            "barcode.Text4(19)=77",
            {});
        row("reader type and options", "general.Option13=1 general.Check1(0)=1 general.Check2=0 general.Check5=1",
            {"X005410001"});
        row("comm430 rates and parity",
            "comm430.Option2(2)=1 comm430.Option1(4)=1 comm430.Option1(8)=1 comm430.Option4(2)=1", {"X0018E1O"});
        row("comm430 baud group empty", "comm430.Option1(2)=0", {"X001N4N"});
        // The two- and three-digit fields: short texts padded, empty ones one digit short, long ones cut to their end.
        row("one-digit D2 and D3", "wiegand.Text1(3)=7 wiegand.Text3(0)=5",
            {"X00707020801016000000", "X00900005" + zeros(20)});
        row("empty D2 and D3",
            "wiegand.Text4= barcode.Text2(0)= general.Text1(1)=", {"X016" + zeros(9), "X031" + zeros(14), "\"0"});
        row("format 2 layout",
            "wiegand.Text1(16)=37 wiegand.Text1(10)=2 wiegand.Text1(12)=16 wiegand.Check14=1 wiegand.Text1(11)=18 "
            "wiegand.Text1(13)=19 wiegand.Check16=1 wiegand.Text1(17)=5 wiegand.Text1(18)=6 wiegand.Text1(19)=1",
            {"X01037021611819000001", "X011050601"});
        row("mask 2 bottom row first",
            "barcode.Text8(1)=9 barcode.Text5(5)=11 barcode.Text7(5)=222 barcode.Text5(9)=33 barcode.Text7(9)=4",
            {"X01809"
             "11222"
             + zeros(15) + "33004"});
        row("const row sends Start 00 and its value", "wiegand.Text2(5)=12 wiegand.Check13=1 wiegand.Text3(5)=255",
            {"X01200255" + zeros(20)});
        row("speaker", "general.Check6=0 general.Option16=1 general.Text5(1)=7 general.Text5(0)=99",
            {"X029030700990000"});
        row("relay, led, first person, pdi",
            "general.Check8(3)=1 general.Check8(6)=1 general.Text5(4)=25 general.Text5(2)=3 general.Text5(3)=14 "
            "general.Check7(0)=1 barcode.Check3=1",
            {"X054100125", "X0550314", "X0571", "X0581"});
        row("stand-alone switches", "general.Check1(2)=0 general.Check1(1)=1 general.Option1(3)=1 general.Text1(1)=7",
            {":0", "r1", "E1", "\"07"});
        row("lookup group empty", "general.Option1(4)=0", {"E"});
        row("code39 every column",
            "barcode.Check1(0)=1 barcode.Check1(1)=1 barcode.Check1(2)=0 barcode.Check1(3)=1 barcode.Check1(4)=1 "
            "barcode.Check1(5)=1 barcode.Check1(6)=1 barcode.Check1(7)=0 barcode.Text1(0)=12 barcode.Text3(0)=3",
            {"X030111111001203"});
        row("upca has no Len", "barcode.Check1(48)=1 barcode.Check1(54)=1 barcode.Text3(6)=6", {"X0451101006"});
        row("prefix and suffix in index order", "barcode.Text2(40)=1 barcode.Text2(44)=255 barcode.Text4(41)=13",
            {"X052001000000000255", "X053000013000000000"});
    }

    void sequence()
    {
        Settings s;
        applyConfigDefaults(s);
        QString error;
        const QStringList changes = FETCHED(QString, changes).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QVERIFY2(testing::applySettings(s, changes, &error), qPrintable(error));
        QByteArrayList sent;
        for (const CommandStep &step : commandSequence())
            if (auto c = step.build(s, FETCHED(bool, idSizeChange)))
                sent.append(*c);
        const QByteArrayList expected = FETCHED(QByteArrayList, expected);
        for (int i = 0; i < std::min(sent.size(), expected.size()); ++i)
            QCOMPARE(sent.at(i), expected.at(i));
        QCOMPARE(sent.size(), expected.size());
    }
};

QTEST_GUILESS_MAIN(TstConfigCommands)
#include "tst_config_commands.moc"
