// The pure pieces of the download: check bytes and frames, the progress and
// time-left texts, and the start reply.
#include "flash/image.h"
#include "tests/common/rows.h"

#include <QTest>

class TstFlashImage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void checkByte_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("check");
        QTest::newRow("none") << QByteArray() << 0;
        QTest::newRow("01 02 03") << QByteArray("\x01\x02\x03") << 0x00;
        QTest::newRow("FF") << QByteArray("\xff") << 0xff;
        QTest::newRow("A5 5A 0F") << QByteArray("\xa5\x5a\x0f") << 0xf0;
        QTest::newRow("fifty 80s") << QByteArray(50, '\x80') << 0x00;
    }
    void checkByte()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, check);
        QCOMPARE(int(flash::checkByte(data)), check);
        QCOMPARE(flash::frameBlock(data), char(data.size()) + data + char(check));
    }

    void progressText_data()
    {
        QTest::addColumn<int>("sent");
        QTest::addColumn<int>("payload");
        QTest::addColumn<QString>("digits");
        QTest::newRow("0.05 keeps its zero") << 50 << 1000 << QStringLiteral("05");
        QTest::newRow("0.005 rounds up") << 1 << 200 << QStringLiteral("01");
        QTest::newRow("0.004 rounds down") << 4 << 1000 << QStringLiteral("00");
        QTest::newRow("0.995 shows 99, not 00") << 199 << 200 << QStringLiteral("99");
    }
    void progressText()
    {
        QCOMPARE(flash::progressText(FETCHED(int, sent), FETCHED(int, payload)),
                 QStringLiteral("Downloading - %1 % complete").arg(FETCHED(QString, digits)));
    }

    // Split replies, blanks and carriage returns are covered on the wire in
    // the download tests; here only what they cannot show.
    void startReply_data()
    {
        QTest::addColumn<QByteArrayList>("reads");
        QTest::newRow("wrong then right") << QByteArrayList{"X", "TK"};
        QTest::newRow("flood then TK") << QByteArrayList{QByteArray(100000, 'T'), "TK"};
    }
    void startReply()
    {
        flash::StartReply r("TK");
        bool last = false;
        for (const QByteArray &read : FETCHED(QByteArrayList, reads))
            last = r.feed(read);
        QVERIFY(!last);
        QVERIFY(!r.matched());
    }

    void timeLeft_data()
    {
        QTest::addColumn<int>("elapsedMs");
        QTest::addColumn<int>("done");
        QTest::addColumn<int>("total");
        QTest::addColumn<QString>("text");
        QTest::newRow("nothing yet") << 0 << 0 << 100 << QString();
        QTest::newRow("a tenth in 1 min") << 60000 << 10 << 100 << QStringLiteral("Time left 9:00");
        QTest::newRow("an hour and more") << 3600000 << 1 << 3 << QStringLiteral("Time left 2:00:00");
        QTest::newRow("done") << 5000 << 100 << 100 << QStringLiteral("Time left 0:00");
        // Whole seconds, halves upwards (not to the even neighbour, not cut off).
        QTest::newRow("2.5 s rounds up") << 2500 << 1 << 2 << QStringLiteral("Time left 0:03");
        QTest::newRow("just under 2.5 s") << 2499 << 1 << 2 << QStringLiteral("Time left 0:02");
        QTest::newRow("0.5 s rounds up") << 500 << 1 << 2 << QStringLiteral("Time left 0:01");
    }
    void timeLeft()
    {
        QCOMPARE(flash::timeLeftText(std::chrono::milliseconds(FETCHED(int, elapsedMs)), FETCHED(int, done),
                                     FETCHED(int, total)),
                 FETCHED(QString, text));
    }
};

QTEST_GUILESS_MAIN(TstFlashImage)
#include "tst_flash_image.moc"
