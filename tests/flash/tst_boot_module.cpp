// The simulator's boot code on its own: what it answers to each frame, what
// it keeps, its fault switches, and that it leaves other traffic alone.
#include "sim/basic_module.h"
#include "sim/boot_module.h"
#include "sim/controller.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray kBreakIn("\x00\x1b\x0d\x00\x1b\x0d", 6);

QByteArray frame(const QByteArray &data)
{
    char x = 0;
    for (const char c : data)
        x = static_cast<char>(x ^ c);
    return char(data.size()) + data + x;
}

struct Boot {
    Boot()
    {
        basic.install(controller);
        boot.install(controller);
        controller.addInterceptor([this](char c) {
            after.append(c);
            return false;
        });
        controller.send = [this](const QByteArray &b) { sent += b; };
        controller.drop = [this] { ++drops; };
    }
    // What the boot code answered to bytes.
    QByteArray feed(const QByteArray &bytes)
    {
        sent.clear();
        controller.feed(bytes);
        return sent;
    }

    sim::Controller controller{{}};
    sim::BasicModule basic;
    sim::BootModule boot;
    QByteArray sent;
    QByteArray after;  // bytes the boot code handed on
    int drops = 0;
};

} // namespace

class TstBootModule : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void flashDownload()
    {
        Boot b;
        QTemporaryDir dir;
        const QString saved = dir.filePath(QStringLiteral("got.bin"));
        b.boot.setSavePath(saved);
        QCOMPARE(b.feed(kBreakIn), QByteArray());
        QCOMPARE(b.feed("B"), QByteArray("TK"));
        const QByteArray a(50, 'a'), c("ccc"), trailer(44, 't');
        QCOMPARE(b.feed(frame(a)), QByteArray("K"));
        QCOMPARE(b.feed(frame(c)), QByteArray("K"));
        QCOMPARE(b.feed(QByteArray(1, '\0') + trailer), QByteArray());
        QCOMPARE(b.feed("0307202"), QByteArray());
        QCOMPARE(b.feed("6"), QByteArray("B"));
        QCOMPARE(b.boot.lastImage(), a + c + trailer);
        QCOMPARE(b.boot.lastDate(), QByteArray("03072026"));
        QFile f(saved);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), a + c + trailer);
        // The two fills of the TCP extension download, then command mode again.
        QCOMPARE(b.feed(QByteArray(52, '\xff')), QByteArray("B"));
        QCOMPARE(b.feed(QByteArray(52, '\xff')), QByteArray("B"));
        QCOMPARE(b.feed("V\r"), QByteArray("5200 Series Controller V 02.14\r"));
        QVERIFY(b.after.isEmpty() || b.after == "V\r");
    }

    void serialExtension()
    {
        Boot b;
        b.feed(kBreakIn);
        QCOMPARE(b.feed("w"), QByteArray("YK"));
        QCOMPARE(b.feed(frame(QByteArray(32, 'x'))), QByteArray("K"));
        QCOMPARE(b.feed(frame("yz")), QByteArray("K"));
        QCOMPARE(b.feed(QByteArray(1, '\0')), QByteArray("B"));
        QCOMPARE(b.boot.lastImage(), QByteArray(32, 'x') + "yz");
        QCOMPARE(b.boot.lastDate(), QByteArray());
        QCOMPARE(b.boot.completed(), 1);
    }

    void badFrames_data()
    {
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<QByteArray>("frames");
        QTest::addColumn<QByteArray>("answers");
        QTest::newRow("wrong check byte") << QByteArray("B") << QByteArray("\x02\x01\x02\x00", 4) << QByteArray("N");
        QTest::newRow("51 bytes") << QByteArray("B") << frame(QByteArray(51, 'a')) << QByteArray("N");
        QTest::newRow("33 bytes for the extension") << QByteArray("w") << frame(QByteArray(33, 'a')) << QByteArray("N");
        QTest::newRow("a block after a short one") << QByteArray("B") << frame("ab") + frame("cd") << QByteArray("KN");
        QTest::newRow("month 13") << QByteArray("B") << frame("ab") + '\0' + QByteArray(44, 't') + "13012026"
                                  << QByteArray("KN");
        QTest::newRow("letters in the date") << QByteArray("B") << frame("ab") + '\0' + QByteArray(44, 't') + "0301YYYY"
                                             << QByteArray("KN");
    }
    void badFrames()
    {
        QFETCH(QByteArray, start);
        QFETCH(QByteArray, frames);
        QFETCH(QByteArray, answers);
        Boot b;
        b.feed(kBreakIn + start);
        QCOMPARE(b.feed(frames), answers);
        QCOMPARE(b.boot.completed(), 0);
        // Nothing more until the program starts again.
        QCOMPARE(b.feed(frame("ab")), QByteArray());
    }

    void faults_data()
    {
        QTest::addColumn<int>("wrongAt");
        QTest::addColumn<int>("silentAt");
        QTest::addColumn<int>("dropAt");
        QTest::addColumn<QByteArray>("answers");
        QTest::addColumn<int>("drops");
        QTest::newRow("wrong at block 2") << 2 << 0 << 0 << QByteArray("Kk") << 0;
        QTest::newRow("wrong at the final B") << 3 << 0 << 0 << QByteArray("KKb") << 0;
        QTest::newRow("silent at block 1") << 0 << 1 << 0 << QByteArray() << 0;
        QTest::newRow("silent at the final B") << 0 << 3 << 0 << QByteArray("KK") << 0;
        QTest::newRow("drop at block 2") << 0 << 0 << 2 << QByteArray("K") << 1;
    }
    void faults()
    {
        QFETCH(int, wrongAt);
        QFETCH(int, silentAt);
        QFETCH(int, dropAt);
        QFETCH(QByteArray, answers);
        QFETCH(int, drops);
        Boot b;
        b.boot.faults() = {wrongAt, silentAt, dropAt};
        b.feed(kBreakIn + "B");
        const QByteArray all = frame(QByteArray(50, 'a')) + frame("b") + '\0' + QByteArray(44, 't') + "03072026";
        QCOMPARE(b.feed(all), answers);
        QCOMPARE(b.drops, drops);
        QCOMPARE(b.boot.completed(), 0);
    }

    // Bytes that only begin like a break-in reach the rest of the controller
    // unchanged and in order; a break-in followed by something other than a
    // start character is no command, and the rest sees only what follows it.
    void otherTrafficHandedOn_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("handedOn");
        QTest::newRow("reset command") << QByteArray("\0U1\r", 4) << QByteArray("\0U1\r", 4);
        QTest::newRow("half a break-in") << QByteArray("\0\x1b\rV", 4) << QByteArray("\0\x1b\rV", 4);
        QTest::newRow("break-in and star") << kBreakIn + "*" << QByteArray("*");
        QTest::newRow("break-in and a command") << kBreakIn + "V\r" << QByteArray("V\r");
        QTest::newRow("plain line") << QByteArray("X001\r") << QByteArray("X001\r");
    }
    void otherTrafficHandedOn()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, handedOn);
        Boot b;
        b.feed(bytes);
        QCOMPARE(b.after, handedOn);
    }

    // After a fault the program may start again at once: the break-in that
    // follows restarts the boot code without a pause.
    void restartAfterFault_data()
    {
        QTest::addColumn<QByteArray>("before");
        const QByteArray twoFull = frame(QByteArray(50, 'a')) + frame(QByteArray(50, 'c'));
        QTest::newRow("after a wrong ack") << twoFull;
        QTest::newRow("after a bad check byte") << QByteArray("\x02\x01\x02\x00", 4);
        QTest::newRow("half a break-in first") << twoFull + QByteArray("\0\x1b", 2);
    }
    void restartAfterFault()
    {
        QFETCH(QByteArray, before);
        Boot b;
        b.boot.faults().wrongAckAt = 2;
        b.feed(kBreakIn + "B" + before);
        QCOMPARE(b.feed(kBreakIn), QByteArray());
        QCOMPARE(b.feed("B"), QByteArray("TK"));
        QCOMPARE(b.feed(frame("ef")), QByteArray("K"));
    }

    // A new connection in the middle of a download starts in command mode.
    void newPeerStartsAfresh()
    {
        Boot b;
        b.feed(kBreakIn + "B" + frame("ab"));
        b.controller.resetSession();
        QCOMPARE(b.feed("V\r"), QByteArray("5200 Series Controller V 02.14\r"));
    }
};

QTEST_GUILESS_MAIN(TstBootModule)
#include "tst_boot_module.moc"
