// The download over fake links on the virtual clock: the exact bytes, the
// pauses and time-outs, every message and stage, and the faults it must
// survive.
#include "flash/download.h"
#include "tests/common/fakerig.h"
#include "tests/flash/bootpeer.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace std::chrono_literals;
using flash::Kind;
using flash::Outcome;
using testing::breakIn;
using testing::framesFor;
using testing::imageOf;

Q_DECLARE_METATYPE(flash::Kind)
Q_DECLARE_METATYPE(flash::Outcome)

namespace {

const QByteArray kDate = "03072026";
const QString kPreparing = QStringLiteral("Preparing to Download Flash");
const QString kHundred = QStringLiteral("Downloading - 100 % complete");

struct Run {
    Run(Kind kind, bool tcp)
    {
        if (tcp)
            rig.connectTcp();
        else
            rig.connectSerial();
        peer = std::make_unique<testing::BootPeer>(rig.peer());
        peer->clockNow = [this] { return rig.waiter.now(); };
        peer->finalAfterEnd = kind == Kind::BootExt && !tcp;
        if (kind == Kind::BootExt && !tcp)
            peer->startReply = {"YK"};
        dl = std::make_unique<flash::FlashDownload>(kind, rig.link, rig.ui, rig.ui, rig.ui);
        dl->setToday([] { return QDate(2026, 3, 7); });
    }

    QString writeImage(const QByteArray &bytes)
    {
        const QString path = dir.filePath(QStringLiteral("image.bin"));
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
        return path;
    }
    void choose(const QByteArray &image)
    {
        rig.ui.nextPath = writeImage(image);
        dl->getdownloadfile();
    }
    flash::Result download(const QByteArray &image)
    {
        choose(image);
        return dl->doflashdl();
    }
    QByteArray written() { return rig.peer().written(); }
    // Time from the last byte written to the end of the download.
    wire::Ms sinceLastWrite() const { return rig.waiter.now() - peer->writeTimes.constLast(); }

    testing::FakeRig rig;
    std::unique_ptr<testing::BootPeer> peer;
    std::unique_ptr<flash::FlashDownload> dl;
    QTemporaryDir dir;
};

} // namespace

class TstFlashDownload : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void flashFrames_data()
    {
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<int>("size");
        QTest::addColumn<QList<int>>("frames");
        for (const bool tcp : {false, true}) {
            const char *link = tcp ? "tcp" : "serial";
            QTest::addRow("%s 45", link) << tcp << 45 << QList<int>{1};
            QTest::addRow("%s 94", link) << tcp << 94 << QList<int>{50};
            QTest::addRow("%s 95", link) << tcp << 95 << QList<int>{50, 1};
            QTest::addRow("%s 144", link) << tcp << 144 << QList<int>{50, 50};
            QTest::addRow("%s 145", link) << tcp << 145 << QList<int>{50, 50, 1};
        }
    }
    void flashFrames()
    {
        QFETCH(bool, tcp);
        QFETCH(int, size);
        QFETCH(QList<int>, frames);
        Run run(Kind::Flash, tcp);
        const QByteArray image = imageOf(size);
        QCOMPARE(run.download(image).outcome, Outcome::Complete);
        QCOMPARE(run.peer->frameLengths, frames);
        const QByteArray payload = image.left(size - 44);
        QCOMPARE(run.written(), breakIn() + "B" + framesFor(payload, 50) + '\0' + image.right(44) + kDate);
        QCOMPARE(run.rig.ui.messages, QStringList{QStringLiteral("Download complete")});
        QCOMPARE(run.rig.ui.statuses.constFirst(), kPreparing);
        QCOMPARE(run.rig.ui.statuses.at(run.rig.ui.statuses.size() - 2), kHundred);
        QCOMPARE(run.rig.ui.status(), QString());
        QVERIFY(!run.dl->busy());
        QVERIFY(!run.rig.state.linkBusy);
    }

    void bootExtensionFrames_data()
    {
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<int>("size");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray i70 = imageOf(70);
        QTest::addRow("serial 70") << false << 70 << breakIn() + "w" + framesFor(i70, 32) + '\0';
        const QByteArray i144 = imageOf(144);
        QTest::addRow("tcp 144") << true << 144
                                 << breakIn() + "B" + framesFor(i144.left(100), 50) + '\0' + i144.right(44) + kDate
                + QByteArray(52, '\xff') + QByteArray(52, '\xff');
    }
    void bootExtensionFrames()
    {
        QFETCH(bool, tcp);
        QFETCH(int, size);
        QFETCH(QByteArray, expected);
        Run run(Kind::BootExt, tcp);
        QCOMPARE(run.download(imageOf(size)).outcome, Outcome::Complete);
        QCOMPARE(run.written(), expected);
        QVERIFY(!run.rig.ui.statuses.contains(kHundred));
        QCOMPARE(run.rig.ui.messages, QStringList{QStringLiteral("Download complete")});
        QCOMPARE(run.rig.ui.status(), QString());
    }

    void earlyEnd_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<int>("size");
        QTest::addColumn<QByteArray>("start");
        QTest::newRow("flash serial 44") << Kind::Flash << false << 44 << QByteArray("B");
        QTest::newRow("flash tcp 44") << Kind::Flash << true << 44 << QByteArray("B");
        QTest::newRow("flash serial 10") << Kind::Flash << false << 10 << QByteArray("B");
        QTest::newRow("extension serial empty") << Kind::BootExt << false << 0 << QByteArray("w");
        QTest::newRow("extension tcp 44") << Kind::BootExt << true << 44 << QByteArray("B");
    }
    void earlyEnd()
    {
        QFETCH(Kind, kind);
        QFETCH(bool, tcp);
        QFETCH(int, size);
        QFETCH(QByteArray, start);
        Run run(kind, tcp);
        QCOMPARE(run.download(imageOf(size)).outcome, Outcome::EarlyEnd);
        QCOMPARE(run.written(), breakIn() + start);
        QCOMPARE(run.rig.ui.messages, QStringList{QStringLiteral("Early end of binary file")});
    }

    void pauseAfterBreakIn_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<int>("pauseMs");
        QTest::newRow("flash serial") << Kind::Flash << false << 10000;
        QTest::newRow("flash tcp") << Kind::Flash << true << 8000;
        QTest::newRow("extension serial") << Kind::BootExt << false << 1000;
        QTest::newRow("extension tcp") << Kind::BootExt << true << 3000;
    }
    void pauseAfterBreakIn()
    {
        QFETCH(Kind, kind);
        QFETCH(bool, tcp);
        QFETCH(int, pauseMs);
        Run run(kind, tcp);
        QCOMPARE(run.download(imageOf(100)).outcome, Outcome::Complete);
        QCOMPARE(run.rig.peer().writes.at(0), breakIn());
        QCOMPARE(run.peer->writeTimes.at(1) - run.peer->writeTimes.at(0), wire::Ms(pauseMs));
    }

    // Whatever the controller said during the pause is thrown away on the
    // serial link before the start character; over TCP it spoils the reply.
    void discardBeforeStart_data()
    {
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<Outcome>("outcome");
        QTest::newRow("serial") << false << Outcome::Complete;
        QTest::newRow("tcp") << true << Outcome::StartTimeout;
    }
    void discardBeforeStart()
    {
        QFETCH(bool, tcp);
        QFETCH(Outcome, outcome);
        Run run(Kind::Flash, tcp);
        run.rig.peer().deliver("OK\r", 500ms);
        QCOMPARE(run.download(imageOf(100)).outcome, outcome);
    }

    void startReply_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<QByteArrayList>("reply");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("timeoutMs");
        const QString complete = QStringLiteral("Download complete");
        const QString serialTimeout = QStringLiteral("Timeout Error, error code 1");
        const QString tcpTimeout = QStringLiteral("Timeout Error");
        QTest::newRow("serial split") << Kind::Flash << false << QByteArrayList{"T", "K"} << complete << 0;
        QTest::newRow("tcp split") << Kind::Flash << true << QByteArrayList{"T", "K"} << complete << 0;
        QTest::newRow("extension serial split") << Kind::BootExt << false << QByteArrayList{"Y", "K"} << complete << 0;
        QTest::newRow("serial leading blank") << Kind::Flash << false << QByteArrayList{" TK"} << serialTimeout << 15000;
        QTest::newRow("tcp leading blank") << Kind::Flash << true << QByteArrayList{" TK"} << tcpTimeout << 15000;
        QTest::newRow("tcp leading cr split") << Kind::Flash << true << QByteArrayList{"\r", "TK"} << tcpTimeout << 15000;
        QTest::newRow("tcp trailing cr") << Kind::Flash << true << QByteArrayList{"TK\r"} << tcpTimeout << 15000;
        QTest::newRow("serial nothing") << Kind::Flash << false << QByteArrayList{} << serialTimeout << 15000;
        QTest::newRow("extension serial TK") << Kind::BootExt << false << QByteArrayList{"TK"} << serialTimeout << 7000;
        QTest::newRow("extension tcp nothing") << Kind::BootExt << true << QByteArrayList{} << tcpTimeout << 10000;
    }
    void startReply()
    {
        QFETCH(Kind, kind);
        QFETCH(bool, tcp);
        QFETCH(QByteArrayList, reply);
        QFETCH(QString, message);
        QFETCH(int, timeoutMs);
        Run run(kind, tcp);
        run.peer->startReply = reply;
        const flash::Result result = run.download(imageOf(100));
        QCOMPARE(run.rig.ui.messages, QStringList{message});
        if (timeoutMs == 0)
            return;
        QCOMPARE(result.outcome, Outcome::StartTimeout);
        QCOMPARE(run.rig.peer().writes.size(), 2);
        QCOMPARE(run.sinceLastWrite(), wire::Ms(timeoutMs));
        // Only the serial flash download clears the status line first.
        const bool cleared = kind == Kind::Flash && !tcp;
        QCOMPARE(run.rig.ui.status(), cleared ? QString() : kPreparing);
    }

    // A peer that talks without pause (two bytes for every read) still ends in
    // the start time-out on time; the flood stops after a minute so a wait
    // that ignores its deadline shows up as a late time-out, not a hang.
    void startFloodEndsOnTime_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("timeoutMs");
        QTest::newRow("flash serial") << Kind::Flash << false << QStringLiteral("Timeout Error, error code 1") << 15000;
        QTest::newRow("flash tcp") << Kind::Flash << true << QStringLiteral("Timeout Error") << 15000;
        QTest::newRow("extension serial")
            << Kind::BootExt << false << QStringLiteral("Timeout Error, error code 1") << 7000;
        QTest::newRow("extension tcp") << Kind::BootExt << true << QStringLiteral("Timeout Error") << 10000;
    }
    void startFloodEndsOnTime()
    {
        QFETCH(Kind, kind);
        QFETCH(bool, tcp);
        QFETCH(QString, message);
        QFETCH(int, timeoutMs);
        Run run(kind, tcp);
        run.peer->startReply = {};
        run.rig.waiter.setOnPass([&] {
            const auto &times = run.peer->writeTimes;
            if (times.size() == 2 && run.rig.waiter.now() - times.at(1) < 60s) {
                run.rig.peer().deliver("xx", 0ms);
                run.rig.waiter.advance(1ms);
            }
        });
        const flash::Result result = run.download(imageOf(100));
        QCOMPARE(result.outcome, Outcome::StartTimeout);
        QCOMPARE(run.rig.ui.messages, QStringList{message});
        QCOMPARE(run.sinceLastWrite(), wire::Ms(timeoutMs));
    }

    // A wrong or missing acknowledgement at each point, and the stage it names.
    void acknowledgementFaults_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("ack");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("stage");
        QTest::addColumn<int>("timeoutMs");
        const auto serial = [](int stage) { return QStringLiteral("Download Error, error code %1").arg(stage); };
        const QString tcp = QStringLiteral("Download Error");
        // Flash, 145 bytes: blocks of 50, 50 and 1, then the final B.
        QTest::newRow("flash serial k block 1") << Kind::Flash << false << 145 << 1 << QByteArray("k") << serial(2) << 2 << 0;
        QTest::newRow("flash serial silent block 2") << Kind::Flash << false << 145 << 2 << QByteArray() << serial(2) << 2 << 15000;
        QTest::newRow("flash serial k last block") << Kind::Flash << false << 145 << 3 << QByteArray("k") << serial(3) << 3 << 0;
        QTest::newRow("flash serial silent last block") << Kind::Flash << false << 145 << 3 << QByteArray() << serial(3) << 3 << 15000;
        QTest::newRow("flash serial X final") << Kind::Flash << false << 145 << 4 << QByteArray("X") << serial(4) << 4 << 0;
        QTest::newRow("flash serial silent final") << Kind::Flash << false << 145 << 4 << QByteArray() << serial(4) << 4 << 10000;
        QTest::newRow("flash tcp k block 1") << Kind::Flash << true << 145 << 1 << QByteArray("k") << tcp << 2 << 0;
        QTest::newRow("flash tcp silent block 1") << Kind::Flash << true << 145 << 1 << QByteArray() << tcp << 2 << 15000;
        QTest::newRow("flash tcp silent final") << Kind::Flash << true << 145 << 4 << QByteArray() << tcp << 4 << 15000;
        QTest::newRow("flash tcp b final") << Kind::Flash << true << 145 << 4 << QByteArray("b") << tcp << 4 << 0;
        // Extension, serial 70 bytes: blocks of 32, 32 and 6, then the final B.
        QTest::newRow("extension serial k block 1") << Kind::BootExt << false << 70 << 1 << QByteArray("k") << serial(2) << 2 << 0;
        QTest::newRow("extension serial silent block 2") << Kind::BootExt << false << 70 << 2 << QByteArray() << serial(2) << 2 << 5000;
        QTest::newRow("extension serial k last block") << Kind::BootExt << false << 70 << 3 << QByteArray("k") << serial(3) << 3 << 0;
        QTest::newRow("extension serial silent final") << Kind::BootExt << false << 70 << 4 << QByteArray() << serial(4) << 4 << 5000;
        // Extension, TCP 144 bytes: blocks of 50 and 50, final B, two fills.
        QTest::newRow("extension tcp silent block 1") << Kind::BootExt << true << 144 << 1 << QByteArray() << tcp << 2 << 10000;
        QTest::newRow("extension tcp silent final") << Kind::BootExt << true << 144 << 3 << QByteArray() << tcp << 4 << 10000;
        QTest::newRow("extension tcp k first fill") << Kind::BootExt << true << 144 << 4 << QByteArray("K") << tcp << 4 << 0;
        QTest::newRow("extension tcp silent second fill") << Kind::BootExt << true << 144 << 5 << QByteArray() << tcp << 4 << 10000;
    }
    void acknowledgementFaults()
    {
        QFETCH(Kind, kind);
        QFETCH(bool, tcp);
        QFETCH(int, size);
        QFETCH(int, ack);
        QFETCH(QByteArray, reply);
        QFETCH(QString, message);
        QFETCH(int, stage);
        QFETCH(int, timeoutMs);
        Run run(kind, tcp);
        run.peer->replies[ack] = reply;
        const flash::Result result = run.download(imageOf(size));
        QCOMPARE(result.outcome, Outcome::DownloadError);
        QCOMPARE(result.stage, stage);
        QCOMPARE(run.rig.ui.messages, QStringList{message});
        QCOMPARE(run.peer->acks, ack);
        if (timeoutMs > 0)
            QCOMPARE(run.sinceLastWrite(), wire::Ms(timeoutMs));
        else
            QVERIFY(run.sinceLastWrite() < 100ms);
        const bool cleared = kind == Kind::Flash && !tcp;
        QCOMPARE(run.rig.ui.status().isEmpty(), cleared);
        QVERIFY(!run.dl->busy());
    }

    void progressTexts_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<int>("size");
        QTest::addColumn<QStringList>("statuses");
        const auto p = [](const char *digits) { return QStringLiteral("Downloading - %1 % complete").arg(QLatin1String(digits)); };
        // 200 of 201 rounds to 1.00: the text stays at 99 until the end.
        QTest::newRow("flash 245") << Kind::Flash << 245
                                   << QStringList{kPreparing, p("25"), p("50"), p("75"), p("99"), kHundred, QString()};
        QTest::newRow("extension 70") << Kind::BootExt << 70 << QStringList{kPreparing, p("46"), p("91"), QString()};
    }
    void progressTexts()
    {
        QFETCH(Kind, kind);
        QFETCH(int, size);
        QFETCH(QStringList, statuses);
        Run run(kind, false);
        QCOMPARE(run.download(imageOf(size)).outcome, Outcome::Complete);
        QCOMPARE(run.rig.ui.statuses, statuses);
    }

    void busyRefusesBothActions()
    {
        Run run(Kind::Flash, false);
        run.choose(imageOf(200));
        std::optional<flash::Result> second;
        std::optional<std::optional<QString>> dialog;
        run.rig.waiter.setOnPass([&] {
            if (run.peer->acks == 1 && !second) {
                QVERIFY(run.dl->busy());
                QVERIFY(run.rig.state.linkBusy);
                second = run.dl->doflashdl();
                dialog = run.dl->getdownloadfile();
            }
        });
        QCOMPARE(run.dl->doflashdl().outcome, Outcome::Complete);
        QVERIFY(second);
        QCOMPARE(second->outcome, Outcome::NotStarted);
        QVERIFY(dialog && !dialog->has_value());
        QCOMPARE(run.rig.ui.dialogs.size(), 1);
        QVERIFY(!run.dl->busy());
        QVERIFY(!run.rig.state.linkBusy);
        QCOMPARE(run.rig.ui.messages, QStringList{QStringLiteral("Download complete")});
    }

    // While the dialog is open neither action runs: no second dialog, no download.
    void busyWhileChoosing()
    {
        struct Chooser final : core::FileChooser {
            flash::FlashDownload *dl = nullptr;
            QString path;
            int opened = 0;
            bool busySeen = false;
            std::optional<flash::Result> nestedDownload;
            std::optional<std::optional<QString>> nestedDialog;
            std::optional<QString> openFile(const QString &, const core::FileFilter &) override
            {
                ++opened;
                busySeen = dl->busy();
                nestedDownload = dl->doflashdl();
                nestedDialog = dl->getdownloadfile();
                return path;
            }
            std::optional<QString> saveFile(const QString &, const core::FileFilter &, const QString &) override
            {
                return std::nullopt;
            }
        } chooser;
        Run run(Kind::Flash, false);
        flash::FlashDownload dl(Kind::Flash, run.rig.link, run.rig.ui, run.rig.ui, chooser);
        chooser.dl = &dl;
        chooser.path = run.writeImage(imageOf(200));
        QCOMPARE(dl.getdownloadfile(), std::optional<QString>(chooser.path));
        QCOMPARE(chooser.opened, 1);
        QVERIFY(chooser.busySeen);
        QCOMPARE(chooser.nestedDownload->outcome, Outcome::NotStarted);
        QVERIFY(!chooser.nestedDialog->has_value());
        QVERIFY(run.written().isEmpty());
        QVERIFY(!dl.busy());
        QCOMPARE(dl.imagePath(), chooser.path);
    }

    void linkHeldByAnotherOperation()
    {
        Run run(Kind::Flash, false);
        run.choose(imageOf(200));
        run.rig.state.linkBusy = true;
        QCOMPARE(run.dl->doflashdl().outcome, Outcome::NotStarted);
        QVERIFY(run.written().isEmpty());
        QVERIFY(run.rig.state.linkBusy);
    }

    void dialogAndCancel()
    {
        Run run(Kind::Flash, false);
        run.choose(imageOf(200));
        QCOMPARE(run.rig.ui.lastFilter.filter, QStringLiteral("Bin Files (*.bin)"));
        QCOMPARE(run.rig.ui.lastFilter.defaultSuffix, QStringLiteral("bin"));
        QCOMPARE(run.rig.ui.lastFilter.initialName, QString());
        QVERIFY(!run.dl->imagePath().isEmpty());
        run.rig.ui.nextPath.reset();
        QVERIFY(!run.dl->getdownloadfile());
        QVERIFY(run.dl->imagePath().isEmpty());
        QCOMPARE(run.dl->doflashdl().outcome, Outcome::NotStarted);
        QVERIFY(run.written().isEmpty());
        QVERIFY(run.rig.ui.messages.isEmpty());
    }

    void unreadableImageSendsNothing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("deleted after choosing") << QStringLiteral("deleted");
        QTest::newRow("a folder") << QStringLiteral("folder");
        QTest::newRow("no permission") << QStringLiteral("permission");
    }
    void unreadableImageSendsNothing()
    {
        QFETCH(QString, how);
        Run run(Kind::Flash, false);
        run.choose(imageOf(200));
        const QString path = run.dl->imagePath();
        if (how == QLatin1String("deleted")) {
            QFile::remove(path);
        } else if (how == QLatin1String("folder")) {
            QFile::remove(path);
            QDir().mkdir(path);
        } else {
            if (geteuid() == 0)
                QSKIP("root reads every file");
            QFile::setPermissions(path, QFileDevice::Permissions());
        }
        const flash::Result result = run.dl->doflashdl();
        QCOMPARE(result.outcome, Outcome::ImageUnreadable);
        QVERIFY(run.written().isEmpty());
        QCOMPARE(run.rig.ui.messages.size(), 1);
        QVERIFY(run.rig.ui.messages.constFirst().contains(path));
        QCOMPARE(run.rig.ui.status(), QString());
        QVERIFY(!run.dl->busy());
        QVERIFY(!run.rig.state.linkBusy);

        // Ready for the next attempt with a good file.
        QDir().rmdir(path);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QCOMPARE(run.download(imageOf(200)).outcome, Outcome::Complete);
    }

    // The image file is not held open once the download has ended, on any path.
    void imageClosedAfterwards_data()
    {
        QTest::addColumn<int>("ack");
        QTest::newRow("complete") << 0;
        QTest::newRow("block error") << 2;
    }
    void imageClosedAfterwards()
    {
        QFETCH(int, ack);
        Run run(Kind::Flash, false);
        if (ack)
            run.peer->replies[ack] = "k";
        run.download(imageOf(300));
        const QString self = QStringLiteral("/proc/self/fd");
        for (const QFileInfo &fd : QDir(self).entryInfoList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System))
            QVERIFY2(fd.symLinkTarget() != run.dl->imagePath(), "image file still open");
    }

    void linkDropsMidDownload_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<int>("dropAt");
        QTest::addColumn<QString>("message");
        QTest::newRow("flash serial block 2") << Kind::Flash << false << 2 << QStringLiteral("Download Error, error code 2");
        QTest::newRow("flash serial last block") << Kind::Flash << false << 5 << QStringLiteral("Download Error, error code 3");
        QTest::newRow("flash serial final") << Kind::Flash << false << 6 << QStringLiteral("Download Error, error code 4");
        QTest::newRow("flash tcp block 2") << Kind::Flash << true << 2 << QStringLiteral("Download Error");
        QTest::newRow("extension serial block 2") << Kind::BootExt << false << 2 << QStringLiteral("Download Error, error code 2");
        QTest::newRow("extension tcp fill") << Kind::BootExt << true << 7 << QStringLiteral("Download Error");
    }
    void linkDropsMidDownload()
    {
        QFETCH(Kind, kind);
        QFETCH(bool, tcp);
        QFETCH(int, dropAt);
        QFETCH(QString, message);
        Run run(kind, tcp);
        run.peer->dropAt = dropAt;
        run.peer->dropLink = [&] {
            if (tcp)
                run.rig.tcp.dropAfter(3ms);
            else
                run.rig.serial.dropAfter(3ms);
        };
        const flash::Result result = run.download(imageOf(kind == Kind::BootExt && !tcp ? 160 : 294));
        QCOMPARE(result.outcome, Outcome::DownloadError);
        QCOMPARE(run.rig.ui.messages, QStringList{message});
        // At once, not after the time-out.
        QCOMPARE(run.sinceLastWrite(), 3ms);
        QCOMPARE(run.rig.link.statusCaption(), QStringLiteral("Disconnected"));
        QVERIFY(!run.dl->busy());
        QVERIFY(!run.rig.state.linkBusy);
    }

    void linkDropsDuringPause()
    {
        Run run(Kind::Flash, false);
        run.rig.serial.dropAfter(1s);
        const flash::Result result = run.download(imageOf(200));
        QCOMPARE(result.outcome, Outcome::DownloadError);
        QCOMPARE(run.rig.ui.messages, QStringList{QStringLiteral("Download Error, error code 1")});
        QCOMPARE(run.rig.waiter.now() - run.peer->writeTimes.constFirst(), 1s);
        QCOMPARE(run.written(), breakIn());
    }

    void notConnectedSendsNothing()
    {
        Run run(Kind::Flash, true);
        run.rig.link.DisconnectLink();
        const flash::Result result = run.download(imageOf(200));
        QCOMPARE(result.outcome, Outcome::NotConnected);
        QVERIFY(run.written().isEmpty());
        QCOMPARE(run.rig.ui.messages, QStringList{flash::kNotConnected});
    }

    void quittingIsSilent()
    {
        Run run(Kind::Flash, false);
        run.rig.waiter.setOnPass([&] {
            if (run.peer->acks == 2)
                run.rig.waiter.requestQuit();
        });
        const flash::Result result = run.download(imageOf(400));
        QCOMPARE(result.outcome, Outcome::Quit);
        QVERIFY(run.rig.ui.messages.isEmpty());
        QVERIFY(!run.dl->busy());
    }

    void observerSeesEveryBlock()
    {
        struct Seen final : flash::Observer {
            qint64 total = 0;
            QList<qint64> sending, acked;
            qint64 bytes = 0;
            std::optional<Outcome> outcome;
            void blocksStarting(qint64 t, qint64, wire::Ms) override { total = t; }
            void blockSending(qint64 n, wire::Ms) override { sending.append(n); }
            void blockAcknowledged(qint64 n, qint64 b, wire::Ms) override
            {
                acked.append(n);
                bytes = b;
            }
            void finished(const flash::Result &r, wire::Ms) override { outcome = r.outcome; }
        } seen;
        Run run(Kind::Flash, false);
        run.dl->setObserver(&seen);
        QCOMPARE(run.download(imageOf(145)).outcome, Outcome::Complete);
        QCOMPARE(seen.total, 3);
        QCOMPARE(seen.sending, (QList<qint64>{1, 2, 3}));
        QCOMPARE(seen.acked, (QList<qint64>{1, 2, 3}));
        QCOMPARE(seen.bytes, 101);
        QVERIFY(seen.outcome == Outcome::Complete);
    }
};

QTEST_GUILESS_MAIN(TstFlashDownload)
#include "tst_flash_download.moc"
