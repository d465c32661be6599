#include "core/appstate.h"
#include "core/digitwidth.h"
#include "core/numbers.h"

#include <QtTest>

#include <cmath>

class TestCore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void digitWidth_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("digits");
        const int rows[][2] = {{0, 0},   {3, 1},   {4, 2},   {7, 3},   {10, 4}, {32, 10},
                               {33, 10}, {34, 11}, {63, 19}, {64, 20}, {65, 0}};
        for (const auto &r : rows)
            QTest::addRow("%d bits", r[0]) << r[0] << r[1];
    }

    void digitWidth()
    {
        QFETCH(int, bits);
        QFETCH(int, digits);
        QCOMPARE(core::digitWidthFor(core::digitWidthData(), bits), std::optional<qint16>(digits));
    }

    // Every stored entry 1..64 is the digit count of 2^n - 1; nothing outside 0..65.
    void digitWidthIsDigitsOfLargestValue()
    {
        const auto &t = core::digitWidthData();
        for (int n = 1; n <= 64; ++n) {
            const long double largest = std::pow(2.0L, n) - 1;
            QCOMPARE(int(t[n]), int(std::floor(std::log10(largest))) + 1);
        }
        QVERIFY(!core::digitWidthFor(t, -1));
        QVERIFY(!core::digitWidthFor(t, 66));
    }

    void signReserving_data()
    {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << QStringLiteral(" 0");
        QTest::newRow("positive") << qint64(42) << QStringLiteral(" 42");
        QTest::newRow("negative") << qint64(-3) << QStringLiteral("-3");
    }

    void signReserving()
    {
        QFETCH(qint64, value);
        QFETCH(QString, text);
        QCOMPARE(core::signReserving(value), text);
    }

    void fieldNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("value");
        QTest::addColumn<bool>("ok");
        QTest::newRow("empty is 0") << QString() << qint64(0) << true;
        QTest::newRow("leading zeros") << QStringLiteral("05") << qint64(5) << true;
        QTest::newRow("blanks") << QStringLiteral(" 7 ") << qint64(7) << true;
        QTest::newRow("letters") << QStringLiteral("7a") << qint64(0) << false;
    }

    void fieldNumber()
    {
        QFETCH(QString, text);
        QFETCH(qint64, value);
        QFETCH(bool, ok);
        bool good = !ok;
        QCOMPARE(core::fieldNumber(text, &good), value);
        QCOMPARE(good, ok);
    }
};

QTEST_GUILESS_MAIN(TestCore)
#include "tst_core.moc"
