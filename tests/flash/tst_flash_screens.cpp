// The two download screens: captions and control names, the file choice, and
// a download shown with its status text, progress bar and block number.
#include "core/widgets/labelbutton.h"
#include "flash/screens/flashboot2.h"
#include "flash/screens/flashdl.h"
#include "tests/common/files.h"
#include "tests/common/rows.h"
#include "tests/common/screenrig.h"
#include "tests/common/testjournal.h"
#include "tests/flash/bootpeer.h"

#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

namespace {

struct Screens {
    Screens()
    {
        rig.connectSerial();
        peer = std::make_unique<testing::BootPeer>(rig.peer());
    }
    QString image(qsizetype size) const
    {
        QString path = dir.filePath(QStringLiteral("fw.bin"));
        testing::writeFile(path, testing::imageOf(size));
        return path;
    }
    template <typename T>
    T *child(QWidget &screen, const char *name)
    {
        return screen.findChild<T *>(QString::fromLatin1(name));
    }

    testing::ScreenRig rig;
    std::unique_ptr<testing::BootPeer> peer;
    QTemporaryDir dir;
};

QString text(QWidget &screen, const char *name)
{
    auto *label = screen.findChild<QLabel *>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
}

} // namespace

class TstFlashScreens : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void captions()
    {
        Screens s;
        flash::FlashDl dl(s.rig.services);
        flash::FlashBoot2 boot(s.rig.services);
        QCOMPARE(boot.windowTitle(), QStringLiteral("Flash Boot 2"));
        QCOMPARE(text(dl, "Label2"), QStringLiteral("Tarnic Flash Download"));
        QCOMPARE(text(dl, "Label5"),
                 QStringLiteral("For all Tarnic Products except 460 and 480. Do Not use this Flash "
                                "routine for 460 or 480 Data Converters."));
        QCOMPARE(text(boot, "Label2"), QStringLiteral("5200 Bootloader Extension Download"));
        QVERIFY(!boot.findChild<QLabel *>(QStringLiteral("Label5")));
        for (QWidget *screen : {static_cast<QWidget *>(&dl), static_cast<QWidget *>(&boot)})
            QCOMPARE(QStringList({text(*screen, "Label4"), text(*screen, "Label8"), text(*screen, "Label1"),
                                  text(*screen, "Label3")}),
                     QStringList({QStringLiteral("Select File to Download"), QStringLiteral("Start Flash Download"),
                                  QString(), QString()}));
    }

    void downloadShowsProgressThenStartsClean()
    {
        Screens s;
        flash::FlashDl dl(s.rig.services);
        dl.show();
        const QString path = s.image(50 * 40 + 44);
        s.rig.ui.nextPath = path;
        QTest::mouseClick(s.child<core::LabelButton>(dl, "Label4"), Qt::LeftButton);
        QCOMPARE(text(dl, "Label1"), path);
        QCOMPARE(s.rig.ui.dialogs, QStringList{QStringLiteral("Select Flash Image to Download")});
        // Slow enough acknowledgements that the throttled extras move on.
        s.peer->delay = 20ms;
        auto *bar = s.child<QProgressBar>(dl, "progress");
        QSet<QString> blocksSeen;
        QString timeLeftSeen;
        s.rig.waiter.setOnPass([&] {
            blocksSeen.insert(text(dl, "blockNumber"));
            if (!text(dl, "timeLeft").isEmpty())
                timeLeftSeen = text(dl, "timeLeft");
        });
        QTest::mouseClick(s.child<core::LabelButton>(dl, "Label8"), Qt::LeftButton);
        QCOMPARE(s.rig.ui.messages, QStringList{QStringLiteral("Download complete")});
        QCOMPARE(text(dl, "Label3"), QString());
        QCOMPARE(bar->maximum(), 40);
        QCOMPARE(bar->value(), 40);
        QCOMPARE(text(dl, "blockNumber"), QStringLiteral("Block 40 of 40"));
        QVERIFY(blocksSeen.contains(QStringLiteral("Block 1 of 40")));
        QVERIFY(blocksSeen.size() > 3);
        QVERIFY(timeLeftSeen.startsWith(QStringLiteral("Time left ")));
        QVERIFY(!dl.download().busy());

        // A new attempt does not show the last one's figures while it waits
        // for the controller, nor after it fails before the first block.
        s.peer->startReply = {};
        blocksSeen.clear();
        QSet<int> barSeen;
        s.rig.waiter.setOnPass([&] {
            blocksSeen.insert(text(dl, "blockNumber"));
            barSeen.insert(bar->value());
        });
        dl.startDownload();
        QCOMPARE(s.rig.ui.messages.constLast(), QStringLiteral("Timeout Error, error code 1"));
        for (const QString &seen : std::as_const(blocksSeen))
            QVERIFY2(!seen.startsWith(QLatin1String("Block")), qPrintable(seen));
        QCOMPARE(barSeen, QSet<int>{0});
        QCOMPARE(text(dl, "blockNumber"), QString());
    }

    // Our line under the figures: why Start did nothing, where and why a
    // download stopped and the state it left, or when it completed; and a
    // countdown through the quiet pause after the break-in.
    void noteSaysWhyAndWhatNext_data()
    {
        QTest::addColumn<bool>("chosen");
        QTest::addColumn<QByteArrayList>("startReply");
        QTest::addColumn<int>("ack");          // from 1; 11 is the final "B"
        QTest::addColumn<QByteArray>("reply"); // instead of it; empty: silence
        QTest::addColumn<bool>("drop");        // the link goes at that ack instead
        QTest::addColumn<QString>("note");     // a pattern for the whole line
        QTest::addColumn<QString>("recorded"); // the journal's outcome; empty: nothing recorded
        const QByteArrayList tk{"TK"};
        const auto said = [](const QString &text) { return QRegularExpression::escape(text); };
        const QString restart = QStringLiteral("\nthe controller waits in its boot code: start the download again");
        QTest::newRow("no file") << false << tk << 0 << QByteArray() << false
                                 << said("No file chosen: choose one with Select File to Download first") << QString();
        QTest::newRow("complete") << true << tk << 0 << QByteArray() << false
                                  << "Download completed at \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d"
                                  << "ok";
        QTest::newRow("no start reply") << true << QByteArrayList() << 0 << QByteArray() << false
                                        << said("no start reply within 15 s") << "failed";
        QTest::newRow("silent at block 3") << true << tk << 3 << QByteArray() << false
                                           << said("no acknowledgement for block 3 within 15 s" + restart) << "failed";
        QTest::newRow("k at block 2") << true << tk << 2 << QByteArray("k") << false
                                      << said("wrong answer \"k\" to block 2 of 10" + restart) << "failed";
        QTest::newRow("CR at the last block") << true << tk << 10 << QByteArray("\r") << false
                                              << said("wrong answer \"\\x0D\" to block 10 of 10" + restart) << "failed";
        QTest::newRow("no final B") << true << tk << 11 << QByteArray() << false
                                    << said("no final acknowledgement within 10 s" + restart) << "failed";
        QTest::newRow("dropped at block 3")
            << true << tk << 3 << QByteArray() << true
            << said("link lost at block 3 of 10\nthe controller waits in its boot code: connect and run Flash Device "
                    "again")
            << "failed";
    }

    void noteSaysWhyAndWhatNext()
    {
        QFETCH(bool, chosen);
        QFETCH(int, ack);
        QFETCH(QString, note);
        Screens s;
        const testing::TestJournal journal;
        s.rig.journal.setOn(true);
        flash::FlashDl dl(s.rig.services);
        dl.show();
        s.rig.ui.nextPath = s.image(50 * 10 + 44);
        if (chosen)
            dl.selectFile();
        s.peer->startReply = FETCHED(QByteArrayList, startReply);
        s.peer->replies[ack] = FETCHED(QByteArray, reply); // acknowledgements count from 1
        s.peer->dropAt = FETCHED(bool, drop) ? ack : 0;
        s.peer->dropLink = [&] { s.rig.serial.dropAfter(1ms); };
        QSet<QString> paused;
        s.rig.waiter.setOnPass([&] {
            if (s.child<QProgressBar>(dl, "progress")->maximum() == 0)
                paused.insert(text(dl, "blockNumber"));
        });
        QTest::keyClick(s.child<core::LabelButton>(dl, "Label8"), Qt::Key_Return);
        QVERIFY2(QRegularExpression(u'^' + note + u'$').match(text(dl, "downloadNote")).hasMatch(),
                 qPrintable(text(dl, "downloadNote")));
        QCOMPARE(paused.contains(QStringLiteral("Waiting 10 s for the controller to restart")), chosen);
        // Each download tried is recorded with its image's digest.
        const QString recorded = FETCHED(QString, recorded);
        const QStringList records =
            recorded.isEmpty() ? QStringList() : QStringList{"started flash", "ended flash " + recorded};
        QCOMPARE(journal.brief(), records);
        if (!recorded.isEmpty())
            QCOMPARE(journal.records().back().files.at(0)[QStringLiteral("sha256")].toString().size(), 64);
    }

    // The link goes at block 3: the error at once, the block it stopped at on
    // screen, and the screen ready for the next attempt.
    void dropLeavesScreenReady()
    {
        Screens s;
        flash::FlashBoot2 boot(s.rig.services);
        boot.show();
        s.rig.ui.nextPath = s.image(qsizetype{32} * 10);
        boot.selectFile();
        s.peer->startReply = {"YK"};
        s.peer->finalAfterEnd = true;
        s.peer->dropAt = 3;
        s.peer->dropLink = [&] { s.rig.serial.dropAfter(1ms); };
        boot.startDownload();
        QCOMPARE(s.rig.ui.messages, QStringList{QStringLiteral("Download Error, error code 2")});
        QCOMPARE(text(boot, "blockNumber"), QStringLiteral("Stopped at block 3 of 10"));
        // The extension screen keeps its last status text on an error.
        QCOMPARE(text(boot, "Label3"), QStringLiteral("Downloading - 20 % complete"));
        QVERIFY(!boot.download().busy());

        s.rig.ui.messages.clear();
        QVERIFY(s.rig.connectSerial());
        s.peer = std::make_unique<testing::BootPeer>(s.rig.peer());
        s.peer->startReply = {"YK"};
        s.peer->finalAfterEnd = true;
        boot.startDownload();
        QCOMPARE(s.rig.ui.messages, QStringList{QStringLiteral("Download complete")});
        QCOMPARE(text(boot, "blockNumber"), QStringLiteral("Block 10 of 10"));
    }
};

QTEST_MAIN(TstFlashScreens)
#include "tst_flash_screens.moc"
