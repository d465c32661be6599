// The command texts a run builds: the defaults give exactly the known lines,
// and each changed setting changes exactly the characters it owns.
#include "config/commands.h"
#include "config/settingtable.h"

#include "configtestsupport.h"
#include "defaultlines.h"

#include <QTest>

using namespace config;

namespace {

QByteArray zeros(int n) { return QByteArray(n, '0'); }

// The default lines with the line starting with each key replaced.
QByteArrayList defaultsWith(const QList<QPair<QByteArray, QByteArray>> &changes)
{
    QByteArrayList l = testing::defaultConfigLines();
    for (const auto &[prefix, line] : changes) {
        const auto at = std::find_if(l.begin(), l.end(), [&](const QByteArray &x) { return x.startsWith(prefix); });
        if (at == l.end())
            qFatal("no default line starts with %s", prefix.constData());
        *at = line;
    }
    return l;
}

} // namespace

class TstConfigCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void encodings_data();
    void encodings();
    void sequence_data();
    void sequence();
};

void TstConfigCommands::encodings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("D2");
    QTest::addColumn<QByteArray>("D2z");
    QTest::addColumn<QByteArray>("D3");
    QTest::newRow("empty") << "" << QByteArray("0") << QByteArray("00") << QByteArray("00");
    QTest::newRow("one digit") << "7" << QByteArray("07") << QByteArray("07") << QByteArray("007");
    QTest::newRow("two digits") << "45" << QByteArray("45") << QByteArray("45") << QByteArray("045");
    QTest::newRow("three digits") << "123" << QByteArray("23") << QByteArray("23") << QByteArray("123");
    QTest::newRow("four digits") << "1234" << QByteArray("34") << QByteArray("34") << QByteArray("234");
}

void TstConfigCommands::encodings()
{
    QFETCH(QString, text);
    QCOMPARE(d2(text), FETCHED(QByteArray, D2));
    QCOMPARE(d2z(text), FETCHED(QByteArray, D2z));
    QCOMPARE(d3(text), FETCHED(QByteArray, D3));
}

void TstConfigCommands::sequence_data()
{
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<bool>("idSizeChange");
    QTest::addColumn<QByteArrayList>("expected");

    const QByteArrayList defaults = testing::defaultConfigLines();
    QTest::newRow("defaults") << QStringList() << false << defaults;
    {
        QByteArrayList l = defaults;
        l.insert(l.indexOf("|4"), "\\18");
        QTest::newRow("ID size accepted") << QStringList() << true << l;
    }
    QTest::newRow("online") << QStringList{"general.Option1(2)=1"} << false << defaultsWith({{"|", "|1"}});
    {
        QByteArrayList l = defaults;
        const auto at = l.indexOf("X0590") + 1;
        l.insert(at, "X0594");
        l.insert(at, "X0593");
        l.insert(at, "X0591");
        QTest::newRow("all levels")
            << QStringList{"general.Check8(0)=1", "general.Check8(1)=1", "general.Check8(2)=1"} << false << l;
    }
    QTest::newRow("codabar SS twice") << QStringList{"barcode.Check1(36)=1"} << false
                                      << defaultsWith({{"X039", "X0390000110100004"}});
    QTest::newRow("timeout 5") << QStringList{"barcode.Text6=5"} << false << defaultsWith({{"X056", "X0560500"}});
    QTest::newRow("timeout 1234 keeps its last two") << QStringList{"barcode.Text6=1234"} << false
                                                     << defaultsWith({{"X056", "X0563400"}});
    QTest::newRow("mask length 123 keeps its last two") << QStringList{"barcode.Text8(0)=123"} << false
                                                        << defaultsWith({{"X017", "X01723" + zeros(25)}});
    QTest::newRow("priority large, alpha delete")
        << QStringList{"barcode.Option1(1)=1", "barcode.Check2=1"} << false << defaultsWith({{"X056", "X0560221"}});
    QTest::newRow("barcode row 3 is never sent")
        << QStringList{"barcode.Check1(24)=1", "barcode.Check1(31)=1", "barcode.Text1(3)=12", "barcode.Text3(3)=9",
                       "barcode.Text2(15)=123", "barcode.Text4(19)=77"}
        << false << defaults;
    QTest::newRow("reader type and options")
        << QStringList{"general.Option13=1", "general.Check1(0)=1", "general.Check2=0", "general.Check5=1"} << false
        << defaultsWith({{"X005", "X005410001"}});
    QTest::newRow("comm430 rates and parity")
        << QStringList{"comm430.Option2(2)=1", "comm430.Option1(4)=1", "comm430.Option1(8)=1", "comm430.Option4(2)=1"}
        << false << defaultsWith({{"X001", "X0018E1O"}});
    QTest::newRow("comm430 baud group empty") << QStringList{"comm430.Option1(2)=0"} << false
                                              << defaultsWith({{"X001", "X001N4N"}});
    QTest::newRow("one-digit D2 and D3") << QStringList{"wiegand.Text1(3)=7", "wiegand.Text3(0)=5"} << false
                                         << defaultsWith({{"X007", "X00707020801016000000"},
                                                          {"X009", "X00900005" + zeros(20)}});
    QTest::newRow("empty D2 and D3")
        << QStringList{"wiegand.Text4=", "barcode.Text2(0)=", "general.Text1(1)="} << false
        << defaultsWith({{"X016", "X016" + zeros(9)}, {"X031", "X031" + zeros(14)}, {"\"", "\"0"}});
    QTest::newRow("format 2 layout")
        << QStringList{"wiegand.Text1(16)=37", "wiegand.Text1(10)=2", "wiegand.Text1(12)=16", "wiegand.Check14=1",
                       "wiegand.Text1(11)=18", "wiegand.Text1(13)=19", "wiegand.Check16=1", "wiegand.Text1(17)=5",
                       "wiegand.Text1(18)=6", "wiegand.Text1(19)=1"}
        << false << defaultsWith({{"X010", "X01037021611819000001"}, {"X011", "X011050601"}});
    QTest::newRow("mask 2 bottom row first")
        << QStringList{"barcode.Text8(1)=9", "barcode.Text5(5)=11", "barcode.Text7(5)=222", "barcode.Text5(9)=33",
                       "barcode.Text7(9)=4"}
        << false << defaultsWith({{"X018", "X01809" "11222" + zeros(15) + "33004"}});
    QTest::newRow("const row sends Start 00 and its value")
        << QStringList{"wiegand.Text2(5)=12", "wiegand.Check13=1", "wiegand.Text3(5)=255"} << false
        << defaultsWith({{"X012", "X01200255" + zeros(20)}});
    QTest::newRow("speaker") << QStringList{"general.Check6=0", "general.Option16=1", "general.Text5(1)=7",
                                            "general.Text5(0)=99"}
                             << false << defaultsWith({{"X029", "X029030700990000"}});
    QTest::newRow("relay, led, first person, pdi")
        << QStringList{"general.Check8(3)=1", "general.Check8(6)=1", "general.Text5(4)=25", "general.Text5(2)=3",
                       "general.Text5(3)=14", "general.Check7(0)=1", "barcode.Check3=1"}
        << false
        << defaultsWith({{"X054", "X054100125"}, {"X055", "X0550314"}, {"X057", "X0571"}, {"X058", "X0581"}});
    QTest::newRow("stand-alone switches")
        << QStringList{"general.Check1(2)=0", "general.Check1(1)=1", "general.Option1(3)=1", "general.Text1(1)=7"}
        << false << defaultsWith({{":", ":0"}, {"r", "r1"}, {"E", "E1"}, {"\"", "\"07"}});
    QTest::newRow("lookup group empty") << QStringList{"general.Option1(4)=0"} << false
                                        << defaultsWith({{"E", "E"}});
    QTest::newRow("code39 every column")
        << QStringList{"barcode.Check1(0)=1", "barcode.Check1(1)=1", "barcode.Check1(2)=0", "barcode.Check1(3)=1",
                       "barcode.Check1(4)=1", "barcode.Check1(5)=1", "barcode.Check1(6)=1", "barcode.Check1(7)=0",
                       "barcode.Text1(0)=12", "barcode.Text3(0)=3"}
        << false << defaultsWith({{"X030", "X030111111001203"}});
    QTest::newRow("upca has no Len") << QStringList{"barcode.Check1(48)=1", "barcode.Check1(54)=1",
                                                    "barcode.Text3(6)=6"}
                                     << false << defaultsWith({{"X045", "X0451101006"}});
    QTest::newRow("prefix and suffix in index order")
        << QStringList{"barcode.Text2(40)=1", "barcode.Text2(44)=255", "barcode.Text4(41)=13"} << false
        << defaultsWith({{"X052", "X052001000000000255"}, {"X053", "X053000013000000000"}});
}

void TstConfigCommands::sequence()
{
    Settings s;
    applyConfigDefaults(s);
    QString error;
    QVERIFY2(testing::applySettings(s, FETCHED(QStringList, changes), &error), qPrintable(error));
    QByteArrayList sent;
    for (const CommandStep &step : commandSequence())
        if (auto c = step.build(s, FETCHED(bool, idSizeChange)))
            sent.append(*c);
    const QByteArrayList expected = FETCHED(QByteArrayList, expected);
    for (int i = 0; i < std::min(sent.size(), expected.size()); ++i)
        QCOMPARE(sent.at(i), expected.at(i));
    QCOMPARE(sent.size(), expected.size());
}

QTEST_GUILESS_MAIN(TstConfigCommands)
#include "tst_config_commands.moc"
