// The pure pieces of the download: check bytes, frames, the progress text,
// the date stamp, the start reply and reading the file.
#include "flash/image.h"

#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace std::chrono_literals;

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
        QTest::newRow("forty-nine 80s") << QByteArray(49, '\x80') << 0x80;
    }
    void checkByte()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, check);
        QCOMPARE(int(flash::checkByte(data)), check);
        const QByteArray frame = flash::frameBlock(data);
        QCOMPARE(frame.size(), data.size() + 2);
        QCOMPARE(quint8(frame.at(0)), quint8(data.size()));
        QCOMPARE(frame.mid(1, data.size()), data);
        QCOMPARE(quint8(frame.back()), quint8(check));
    }

    void progressText_data()
    {
        QTest::addColumn<int>("sent");
        QTest::addColumn<int>("payload");
        QTest::addColumn<QString>("text");
        QTest::newRow("0.37") << 37 << 100 << QStringLiteral("Downloading - 37 % complete");
        QTest::newRow("0.05 keeps its zero") << 50 << 1000 << QStringLiteral("Downloading - 05 % complete");
        QTest::newRow("0.005 rounds up") << 1 << 200 << QStringLiteral("Downloading - 01 % complete");
        QTest::newRow("0.004 rounds down") << 4 << 1000 << QStringLiteral("Downloading - 00 % complete");
        QTest::newRow("0.995 shows 99, not 00") << 199 << 200 << QStringLiteral("Downloading - 99 % complete");
        QTest::newRow("0.5") << 50 << 100 << QStringLiteral("Downloading - 50 % complete");
    }
    void progressText()
    {
        QFETCH(int, sent);
        QFETCH(int, payload);
        QFETCH(QString, text);
        QCOMPARE(flash::progressText(sent, payload), text);
    }

    void dateStamp_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QByteArray>("stamp");
        QTest::newRow("March 7") << QDate(2026, 3, 7) << QByteArray("03072026");
        QTest::newRow("December 31") << QDate(1999, 12, 31) << QByteArray("12311999");
    }
    void dateStamp()
    {
        QFETCH(QDate, date);
        QFETCH(QByteArray, stamp);
        QCOMPARE(flash::dateStamp(date), stamp);
    }

    // Split replies, blanks and carriage returns are covered on the wire in
    // the download tests; here only what they cannot show.
    void startReply_data()
    {
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<QByteArrayList>("reads");
        QTest::addColumn<bool>("matched");
        QTest::newRow("wrong then right") << QByteArray("TK") << QByteArrayList{"X", "TK"} << false;
        QTest::newRow("flood then TK") << QByteArray("TK") << QByteArrayList{QByteArray(100000, 'T'), "TK"} << false;
    }
    void startReply()
    {
        QFETCH(QByteArray, expected);
        QFETCH(QByteArrayList, reads);
        QFETCH(bool, matched);
        flash::StartReply r(expected);
        bool last = false;
        for (const QByteArray &read : reads)
            last = r.feed(read);
        QCOMPARE(last, matched);
        QCOMPARE(r.matched(), matched);
    }

    void readImageFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.bin"));
        QString error;
        QVERIFY(!flash::readImageFile(path, &error));
        QVERIFY(error.contains(path));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("\x00\x01\x02", 3);
        f.close();
        QCOMPARE(flash::readImageFile(path, &error).value_or("none"), QByteArray("\x00\x01\x02", 3));
        QVERIFY(!flash::readImageFile(dir.path(), &error));
        QVERIFY(error.contains(QStringLiteral("folder")));
        if (geteuid() != 0) {
            QFile::setPermissions(path, QFileDevice::Permissions());
            QVERIFY(!flash::readImageFile(path, &error));
        }
    }

    void timeLeft_data()
    {
        QTest::addColumn<int>("elapsedMs");
        QTest::addColumn<int>("done");
        QTest::addColumn<int>("total");
        QTest::addColumn<QString>("text");
        QTest::newRow("nothing yet") << 0 << 0 << 100 << QString();
        QTest::newRow("half in 10 s") << 10000 << 50 << 100 << QStringLiteral("Time left 0:10");
        QTest::newRow("a tenth in 1 min") << 60000 << 10 << 100 << QStringLiteral("Time left 9:00");
        QTest::newRow("an hour and more") << 3600000 << 1 << 3 << QStringLiteral("Time left 2:00:00");
        QTest::newRow("done") << 5000 << 100 << 100 << QStringLiteral("Time left 0:00");
    }
    void timeLeft()
    {
        QFETCH(int, elapsedMs);
        QFETCH(int, done);
        QFETCH(int, total);
        QFETCH(QString, text);
        QCOMPARE(flash::timeLeftText(std::chrono::milliseconds(elapsedMs), done, total), text);
    }
};

QTEST_GUILESS_MAIN(TstFlashImage)
#include "tst_flash_image.moc"
