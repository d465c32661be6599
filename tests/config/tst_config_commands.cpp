// The command texts a run builds, restated here from the controller's command
// set: the defaults give exactly the known lines, and each changed setting
// changes exactly the characters it owns.
#include "config/commands.h"
#include "config/settingtable.h"

#include "configtestsupport.h"

#include <QTest>

using namespace config;

namespace {

QByteArray zeros(int n) { return QByteArray(n, '0'); }

QByteArrayList defaultLines()
{
    QByteArrayList l = {
        "X0014N4N", "X005301000", "X00726020801016000000", "X008030500", "X009" + zeros(25),
        "X010" + zeros(17), "X011" + zeros(6), "X012" + zeros(25), "X013" + zeros(17), "X014" + zeros(6),
        "X015" + zeros(25), "X016" + zeros(10), "X017" + zeros(27), "X018" + zeros(27), "X029125000500000",
        "X030000000100004", "X031" + zeros(15), "X032" + zeros(15), "X03300000100004", "X034" + zeros(15),
        "X035" + zeros(15), "X036000100004", "X037" + zeros(15), "X038" + zeros(15), "X0390000000100004",
        "X040" + zeros(15), "X041" + zeros(15), "X04200000100004", "X043" + zeros(15), "X044" + zeros(15),
        "X0450001004", "X046" + zeros(15), "X047" + zeros(15), "X0480001004", "X049" + zeros(15),
        "X050" + zeros(15), "X051000100004", "X052" + zeros(15), "X053" + zeros(15), "X054000000",
        "X0550000", "X0560200", "X0570", "X0580", "X0590", "|4", "\"05", ":1", "r0", "E3",
    };
    return l;
}

// The default lines with the line starting with each key replaced.
QByteArrayList defaultsWith(const QList<QPair<QByteArray, QByteArray>> &changes)
{
    QByteArrayList l = defaultLines();
    for (const auto &[prefix, line] : changes) {
        bool found = false;
        for (QByteArray &x : l)
            if (x.startsWith(prefix)) {
                x = line;
                found = true;
                break;
            }
        if (!found)
            qFatal("no default line starts with %s", prefix.constData());
    }
    return l;
}

QByteArrayList sentLines(const Settings &s, bool idSizeChange)
{
    QByteArrayList out;
    for (const CommandStep &step : commandSequence())
        if (auto c = step.build(s, idSizeChange))
            out.append(*c);
    return out;
}

} // namespace

class TstConfigCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void encodings_data();
    void encodings();
    void sequence_data();
    void sequence();
    void panesAndErrorTexts();
    void directFields_data();
    void directFields();
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

    QTest::newRow("defaults") << QStringList() << false << defaultLines();
    {
        QByteArrayList l = defaultLines();
        l.insert(l.indexOf("|4"), "\\18");
        QTest::newRow("ID size accepted") << QStringList() << true << l;
    }
    QTest::newRow("online") << QStringList{"general.Option1(2)=1"} << false << defaultsWith({{"|", "|1"}});
    {
        QByteArrayList l = defaultLines();
        const auto at = l.indexOf("X0590") + 1;
        l.insert(at, "X0594");
        l.insert(at, "X0593");
        l.insert(at, "X0591");
        QTest::newRow("all levels")
            << QStringList{"general.Check8(0)=1", "general.Check8(1)=1", "general.Check8(2)=1"} << false << l;
        QByteArrayList l2 = defaultLines();
        l2.insert(l2.indexOf("X0590") + 1, "X0593");
        QTest::newRow("lock/unlock only") << QStringList{"general.Check8(1)=1"} << false << l2;
    }
    QTest::newRow("codabar SS twice") << QStringList{"barcode.Check1(36)=1"} << false
                                      << defaultsWith({{"X039", "X0390000110100004"}});
    QTest::newRow("timeout 5") << QStringList{"barcode.Text6=5"} << false << defaultsWith({{"X056", "X0560500"}});
    QTest::newRow("priority large, alpha delete")
        << QStringList{"barcode.Option1(1)=1", "barcode.Check2=1"} << false << defaultsWith({{"X056", "X0560221"}});
    QTest::newRow("barcode row 3 is never sent")
        << QStringList{"barcode.Check1(24)=1", "barcode.Check1(31)=1", "barcode.Text1(3)=12", "barcode.Text3(3)=9",
                       "barcode.Text2(15)=123", "barcode.Text4(19)=77"}
        << false << defaultLines();
    QTest::newRow("reader barcode") << QStringList{"general.Option13=1"} << false
                                    << defaultsWith({{"X005", "X005401000"}});
    QTest::newRow("reader group empty") << QStringList{"general.Option12=0"} << false
                                        << defaultsWith({{"X005", "X00501000"}});
    QTest::newRow("reader options") << QStringList{"general.Check1(0)=1", "general.Check2=0", "general.Check5=1"}
                                    << false << defaultsWith({{"X005", "X005310001"}});
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
    QFETCH(QStringList, changes);
    Settings s;
    applyConfigDefaults(s);
    for (const QString &c : changes) {
        const auto eq = c.indexOf(QLatin1Char('='));
        QString error;
        QVERIFY2(setSetting(s, c.left(eq), c.mid(eq + 1), &error), qPrintable(error));
    }
    const QByteArrayList sent = sentLines(s, FETCHED(bool, idSizeChange));
    const QByteArrayList expected = FETCHED(QByteArrayList, expected);
    for (int i = 0; i < std::min(sent.size(), expected.size()); ++i)
        QCOMPARE(sent.at(i), expected.at(i));
    QCOMPARE(sent.size(), expected.size());
}

void TstConfigCommands::panesAndErrorTexts()
{
    Settings s;
    applyConfigDefaults(s);
    s.general.Check8.fill(true);
    QStringList errors;
    QStringList picture2Codes;
    for (const CommandStep &step : commandSequence()) {
        const auto c = step.build(s, true);
        QVERIFY(c);
        errors.append(step.errorText);
        if (step.pane == PaneId::Picture2)
            picture2Codes.append(QString::fromLatin1(*c));
    }
    QCOMPARE(errors.first(), QStringLiteral("Error 001"));
    QCOMPARE(errors.at(1), QStringLiteral("Error 005"));
    QVERIFY(errors.contains(QStringLiteral("Error 018")));
    QVERIFY(!errors.contains(QStringLiteral("Error 019")));
    QVERIFY(!errors.contains(QStringLiteral("Error 006")));
    QCOMPARE(errors.count(QStringLiteral("Error 059")), 4);
    QCOMPARE(errors.mid(errors.size() - 6),
             (QStringList{"Error QLM001", "Error QLM002", "Error QLM003", "Error QLM004", "Error QLM005",
                          "Error QLM006"}));
    // X041 is the last of the left pane, X042 the first of the right.
    QVERIFY(picture2Codes.first().startsWith(QLatin1String("X042")));
    QCOMPARE(picture2Codes.size(), 17 + 4 + 6);
}

void TstConfigCommands::directFields_data()
{
    // Values only a longer field (no limit) or a non-screen path can hold.
    QTest::addColumn<int>("which");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("mask length 123 keeps its last two") << 0 << QByteArray("X01723" + zeros(25));
    QTest::newRow("timeout 1234") << 1 << QByteArray("X0563400");
}

void TstConfigCommands::directFields()
{
    Settings s;
    applyConfigDefaults(s);
    QFETCH(int, which);
    if (which == 0) {
        s.barcode.Text8[0] = QStringLiteral("123");
        QCOMPARE(buildBarcodeMask(s, 0), FETCHED(QByteArray, expected));
    } else {
        s.barcode.Text6 = QStringLiteral("1234");
        QCOMPARE(buildX056(s), FETCHED(QByteArray, expected));
    }
}

QTEST_GUILESS_MAIN(TstConfigCommands)
#include "tst_config_commands.moc"
