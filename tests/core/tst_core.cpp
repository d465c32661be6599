#include "core/appstate.h"
#include "core/digitwidth.h"
#include "core/numbers.h"
#include "tests/common/rows.h"

#include <QTest>

#include <cmath>

class TestCore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Entries 1..64 are the digit count of 2^n - 1, entries 0 and 65 are 0;
    // nothing outside 0..65.
    void digitWidthIsDigitsOfLargestValue()
    {
        const auto &t = core::digitWidthData();
        for (int n = 1; n <= 64; ++n) {
            const long double largest = std::pow(2.0L, n) - 1;
            QCOMPARE(core::digitWidthFor(t, n),
                     std::optional(static_cast<qint16>(std::floor(std::log10(largest)) + 1)));
        }
        QCOMPARE(core::digitWidthFor(t, 0), std::optional<qint16>(0));
        QCOMPARE(core::digitWidthFor(t, 65), std::optional<qint16>(0));
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

    void signReserving() { QCOMPARE(core::signReserving(FETCHED(qint64, value)), FETCHED(QString, text)); }

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
        QFETCH(bool, ok);
        bool good = !ok;
        QCOMPARE(core::fieldNumber(FETCHED(QString, text), &good), FETCHED(qint64, value));
        QCOMPARE(good, ok);
    }
};

QTEST_GUILESS_MAIN(TestCore)
#include "tst_core.moc"
