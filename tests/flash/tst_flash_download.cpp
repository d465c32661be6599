// The download over fake links on the virtual clock: the exact bytes, the
// pauses and time-outs, every message and stage, and the faults it must
// survive.
#include "flash/download.h"
#include "tests/common/fakerig.h"
#include "tests/common/files.h"
#include "tests/common/rows.h"
#include "tests/flash/bootpeer.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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
        dl = std::make_unique<flash::FlashDownload>(kind, rig.link, rig.ui, rig.ui);
        dl->setToday([] { return QDate(2026, 3, 7); });
        form = std::make_unique<flash::DownloadForm>(*dl, rig.ui);
    }

    QString writeImage(const QByteArray &bytes) const
    {
        QString path = dir.filePath(QStringLiteral("image.bin"));
        testing::writeFile(path, bytes);
        return path;
    }
    void choose(const QByteArray &image)
    {
        rig.ui.nextPath = writeImage(image);
        form->getdownloadfile();
    }
    flash::Result download(const QByteArray &image)
    {
        choose(image);
        return form->doflashdl();
    }
    QByteArray written() { return rig.peer().written(); }
    // Neither the image file, nor the download, nor the link is held any more.
    bool released() const
    {
        const auto fds = QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::NoDotAndDotDot | QDir::System);
        return std::none_of(fds.begin(), fds.end(),
                            [&](const QFileInfo &fd) { return fd.symLinkTarget() == form->imagePath(); })
            && !form->busy() && !rig.link.busy();
    }
    // Time from the last byte written to the end of the download.
    wire::Ms sinceLastWrite() const { return rig.waiter.now() - peer->writeTimes.constLast(); }

    testing::FakeRig rig;
    std::unique_ptr<testing::BootPeer> peer;
    std::unique_ptr<flash::FlashDownload> dl;
    std::unique_ptr<flash::DownloadForm> form;
    QTemporaryDir dir;
};

} // namespace

class TstFlashDownload : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The exact bytes on the wire for the edge-case sizes, the pause after
    // the break-in, and the early end of a file too short for its trailer,
    // which sends nothing at all: the controller stays out of its boot code.
    void frames_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("pauseMs");
        QTest::addColumn<QByteArray>("expected");
        const auto flashWire = [](const QByteArray &image, char start) {
            const QByteArray payload = image.left(image.size() - 44);
            return breakIn() + start + framesFor(payload, 50) + '\0' + image.right(44) + kDate;
        };
        for (const bool tcp : {false, true}) {
            const char *link = tcp ? "tcp" : "serial";
            const int pause = tcp ? 8000 : 10000;
            QTest::addRow("flash %s 44", link) << Kind::Flash << tcp << 44 << pause << QByteArray();
            for (const int size : {45, 94, 95, 144, 145})
                if (!tcp || size % 2)
                    QTest::addRow("flash %s %d", link, size)
                        << Kind::Flash << tcp << size << pause << flashWire(imageOf(size), 'B');
        }
        QTest::addRow("extension serial 70")
            << Kind::BootExt << false << 70 << 1000 << breakIn() + "w" + framesFor(imageOf(70), 32) + '\0';
        QTest::addRow("extension tcp 144")
            << Kind::BootExt << true << 144 << 3000 << flashWire(imageOf(144), 'B') + QByteArray(104, '\xff');
        QTest::addRow("extension serial empty") << Kind::BootExt << false << 0 << 1000 << QByteArray();
        QTest::addRow("extension tcp 44") << Kind::BootExt << true << 44 << 3000 << QByteArray();
    }
    void frames()
    {
        QFETCH(Kind, kind);
        QFETCH(bool, tcp);
        QFETCH(int, size);
        Run run(kind, tcp);
        const bool complete = size > (kind == Kind::BootExt && !tcp ? 0 : 44);
        QCOMPARE(run.download(imageOf(size)).outcome, complete ? Outcome::Complete : Outcome::EarlyEnd);
        QCOMPARE(run.written(), FETCHED(QByteArray, expected));
        if (complete) {
            QCOMPARE(run.rig.peer().writes.at(0), breakIn());
            QCOMPARE(run.peer->writeTimes.at(1) - run.peer->writeTimes.at(0), wire::Ms(FETCHED(int, pauseMs)));
        }
        QCOMPARE(
            run.rig.ui.messages,
            QStringList{complete ? QStringLiteral("Download complete") : QStringLiteral("Early end of binary file")});
        if (complete)
            QCOMPARE(run.rig.ui.status(), QString());
        QVERIFY(run.released());
    }

    // The start reply: split across reads, spoilt by a leading blank or a
    // stray CR, the wrong letter, silence, a flood that never stops in time,
    // and what the controller said during the pause (thrown away on the
    // serial link, spoiling the reply over TCP). Time-outs to the millisecond.
    void startReply_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<QByteArrayList>("reply");
        QTest::addColumn<QByteArray>("noise");
        QTest::addColumn<bool>("flood");
        QTest::addColumn<int>("timeoutMs");
        const Kind F = Kind::Flash;
        const Kind E = Kind::BootExt;
        const QByteArray none;
        QTest::newRow("serial split") << F << false << QByteArrayList{"T", "K"} << none << false << 0;
        QTest::newRow("tcp split") << F << true << QByteArrayList{"T", "K"} << none << false << 0;
        QTest::newRow("extension serial split") << E << false << QByteArrayList{"Y", "K"} << none << false << 0;
        const QByteArray ok("OK\r");
        QTest::newRow("serial noise in pause") << F << false << QByteArrayList{"TK"} << ok << false << 0;
        QTest::newRow("tcp noise in pause") << F << true << QByteArrayList{"TK"} << ok << false << 15000;
        QTest::newRow("serial leading blank") << F << false << QByteArrayList{" TK"} << none << false << 15000;
        QTest::newRow("tcp leading blank") << F << true << QByteArrayList{" TK"} << none << false << 15000;
        QTest::newRow("tcp trailing cr") << F << true << QByteArrayList{"TK\r"} << none << false << 15000;
        QTest::newRow("extension serial TK") << E << false << QByteArrayList{"TK"} << none << false << 7000;
        QTest::newRow("flood flash serial") << F << false << QByteArrayList{} << none << true << 15000;
        QTest::newRow("flood flash tcp") << F << true << QByteArrayList{} << none << true << 15000;
        QTest::newRow("flood extension serial") << E << false << QByteArrayList{} << none << true << 7000;
        QTest::newRow("flood extension tcp") << E << true << QByteArrayList{} << none << true << 10000;
    }
    void startReply()
    {
        QFETCH(Kind, kind);
        QFETCH(bool, tcp);
        QFETCH(QByteArray, noise);
        QFETCH(bool, flood);
        QFETCH(int, timeoutMs);
        Run run(kind, tcp);
        run.peer->startReply = FETCHED(QByteArrayList, reply);
        if (!noise.isEmpty())
            run.rig.peer().deliver(noise, 500ms);
        // Two bytes for every read; the flood stops after a minute so a wait
        // that ignores its deadline shows up as a late time-out, not a hang.
        if (flood)
            run.rig.waiter.setOnPass([&] {
                const auto &times = run.peer->writeTimes;
                if (times.size() == 2 && run.rig.waiter.now() - times.at(1) < 60s) {
                    run.rig.peer().deliver("xx", 0ms);
                    run.rig.waiter.advance(1ms);
                }
            });
        const flash::Result result = run.download(imageOf(100));
        if (timeoutMs == 0) {
            QCOMPARE(run.rig.ui.messages, QStringList{QStringLiteral("Download complete")});
            return;
        }
        QCOMPARE(result.outcome, Outcome::StartTimeout);
        QCOMPARE(run.rig.ui.messages,
                 QStringList{tcp ? QStringLiteral("Timeout Error") : QStringLiteral("Timeout Error, error code 1")});
        QCOMPARE(run.rig.peer().writes.size(), 2);
        QCOMPARE(run.sinceLastWrite(), wire::Ms(timeoutMs));
        // Only the serial flash download clears the status line first.
        const bool cleared = kind == Kind::Flash && !tcp;
        QCOMPARE(run.rig.ui.status(), cleared ? QString() : kPreparing);
    }

    // A wrong or missing acknowledgement, or the link going instead of it, at
    // each point: the stage named, the time-out to the millisecond, or the end
    // at once; never "Download complete" without every acknowledgement.
    void acknowledgementFaults_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<int>("ack");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("stage");
        QTest::addColumn<int>("timeoutMs");
        const Kind F = Kind::Flash;
        const Kind E = Kind::BootExt;
        const QByteArray silent;
        const QByteArray drop("drop");
        // Flash, 145 bytes: blocks of 50, 50 and 1, then the final B (4).
        QTest::newRow("flash serial drop in pause") << F << false << 0 << drop << 1 << 1000;
        QTest::newRow("flash serial k block 1") << F << false << 1 << QByteArray("k") << 2 << 0;
        QTest::newRow("flash serial silent block 2") << F << false << 2 << silent << 2 << 15000;
        QTest::newRow("flash serial drop block 2") << F << false << 2 << drop << 2 << 3;
        QTest::newRow("flash serial k last block") << F << false << 3 << QByteArray("k") << 3 << 0;
        QTest::newRow("flash serial X final") << F << false << 4 << QByteArray("X") << 4 << 0;
        QTest::newRow("flash serial silent final") << F << false << 4 << silent << 4 << 10000;
        QTest::newRow("flash serial drop final") << F << false << 4 << drop << 4 << 3;
        QTest::newRow("flash tcp silent block 1") << F << true << 1 << silent << 2 << 15000;
        QTest::newRow("flash tcp drop block 2") << F << true << 2 << drop << 2 << 3;
        QTest::newRow("flash tcp silent final") << F << true << 4 << silent << 4 << 15000;
        QTest::newRow("flash tcp b final") << F << true << 4 << QByteArray("b") << 4 << 0;
        // Extension, serial 70 bytes: blocks of 32, 32 and 6, then the final B (4).
        QTest::newRow("extension serial k block 1") << E << false << 1 << QByteArray("k") << 2 << 0;
        QTest::newRow("extension serial silent block 2") << E << false << 2 << silent << 2 << 5000;
        QTest::newRow("extension serial k last block") << E << false << 3 << QByteArray("k") << 3 << 0;
        QTest::newRow("extension serial silent final") << E << false << 4 << silent << 4 << 5000;
        // Extension, TCP 144 bytes: blocks of 50 and 50, final B (3), two fills.
        QTest::newRow("extension tcp silent block 1") << E << true << 1 << silent << 2 << 10000;
        QTest::newRow("extension tcp silent final") << E << true << 3 << silent << 4 << 10000;
        QTest::newRow("extension tcp K first fill") << E << true << 4 << QByteArray("K") << 4 << 0;
        QTest::newRow("extension tcp silent second fill") << E << true << 5 << silent << 4 << 10000;
        QTest::newRow("extension tcp drop first fill") << E << true << 4 << drop << 4 << 3;
    }
    void acknowledgementFaults()
    {
        QFETCH(Kind, kind);
        QFETCH(bool, tcp);
        QFETCH(int, ack);
        QFETCH(QByteArray, reply);
        QFETCH(int, stage);
        QFETCH(int, timeoutMs);
        Run run(kind, tcp);
        const bool dropped = reply == "drop";
        if (dropped && ack == 0) {
            run.rig.serial.dropAfter(1s);
        } else if (dropped) {
            run.peer->dropAt = ack;
            run.peer->dropLink = [&] { tcp ? run.rig.tcp.dropAfter(3ms) : run.rig.serial.dropAfter(3ms); };
        } else {
            run.peer->replies[ack] = reply;
        }
        const flash::Result result = run.download(imageOf(kind == Kind::Flash ? 145 : tcp ? 144 : 70));
        QCOMPARE(result.outcome, Outcome::DownloadError);
        QCOMPARE(result.stage, stage);
        QCOMPARE(run.rig.ui.messages,
                 QStringList{tcp ? QStringLiteral("Download Error")
                                 : QStringLiteral("Download Error, error code %1").arg(stage)});
        QCOMPARE(run.peer->acks, ack);
        if (timeoutMs > 0)
            QCOMPARE(run.sinceLastWrite(), wire::Ms(timeoutMs));
        else
            QVERIFY(run.sinceLastWrite() < 100ms);
        if (dropped)
            QCOMPARE(run.rig.link.statusCaption(), QStringLiteral("Disconnected"));
        else
            QCOMPARE(run.rig.ui.status().isEmpty(), kind == Kind::Flash && !tcp);
        QVERIFY(run.released());
    }

    void progressTexts_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<int>("size");
        QTest::addColumn<QStringList>("statuses");
        const auto p = [](const char *digits) {
            return QStringLiteral("Downloading - %1 % complete").arg(QLatin1String(digits));
        };
        // 200 of 201 rounds to 1.00: the text stays at 99 until the end.
        QTest::newRow("flash 245") << Kind::Flash << 245
                                   << QStringList{kPreparing, p("25"), p("50"), p("75"), p("99"), kHundred, QString()};
        QTest::newRow("extension 70") << Kind::BootExt << 70 << QStringList{kPreparing, p("46"), p("91"), QString()};
    }
    void progressTexts()
    {
        QFETCH(QStringList, statuses);
        Run run(FETCHED(Kind, kind), false);
        QCOMPARE(run.download(imageOf(FETCHED(int, size))).outcome, Outcome::Complete);
        QCOMPARE(run.rig.ui.statuses, statuses);
    }

    // While a download runs, or while its dialog is open, neither action
    // starts: no second dialog, no second download.
    void busyRefusesBothActions_data() { testing::boolRows("whileChoosing", "while downloading", "while choosing"); }
    void busyRefusesBothActions()
    {
        QFETCH(bool, whileChoosing);
        struct Chooser final : core::FileChooser {
            std::function<void()> during;
            QString path;
            int opened = 0;
            std::optional<QString> openFile(const QString &, const core::FileFilter &) override
            {
                if (++opened == 1 && during)
                    during();
                return path;
            }
            std::optional<QString> saveFile(const QString &, const core::FileFilter &, const QString &) override
            {
                return std::nullopt;
            }
        } chooser;
        Run run(Kind::Flash, false);
        flash::FlashDownload download(Kind::Flash, run.rig.link, run.rig.ui, run.rig.ui);
        flash::DownloadForm dl(download, chooser);
        chooser.path = run.writeImage(imageOf(200));
        std::optional<Outcome> nested;
        const auto tryBoth = [&] {
            QVERIFY(dl.busy());
            QCOMPARE(run.rig.link.busy(), !whileChoosing);
            nested = dl.doflashdl().outcome;
            QVERIFY(!dl.getdownloadfile());
        };
        if (whileChoosing)
            chooser.during = tryBoth;
        else
            run.rig.waiter.setOnPass([&] {
                if (run.peer->acks == 1 && !nested)
                    tryBoth();
            });
        QCOMPARE(dl.getdownloadfile(), std::optional<QString>(chooser.path));
        QVERIFY(run.written().isEmpty());
        QCOMPARE(dl.doflashdl().outcome, Outcome::Complete);
        QCOMPARE(nested, std::optional<Outcome>(Outcome::NotStarted));
        QCOMPARE(chooser.opened, 1);
        QCOMPARE(run.rig.ui.messages, QStringList{QStringLiteral("Download complete")});
        QVERIFY(!dl.busy());
        QVERIFY(!run.rig.link.busy());
    }

    // Nothing is sent while another operation holds the link, without a
    // connection, once the dialog was cancelled (no image chosen any more),
    // or when the image cannot be read; then the next attempt works.
    void refusedBeforeSending_data()
    {
        // Named by how the attempt is spoilt.
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QString>("message"); // PATH: the image's path
        const QString path = QStringLiteral("PATH");
        QTest::newRow("held") << Outcome::NotStarted << QString();
        QTest::newRow("disconnected") << Outcome::NotConnected << flash::kNotConnected;
        QTest::newRow("cancelled") << Outcome::NotStarted << QString();
        QTest::newRow("deleted") << Outcome::ImageUnreadable << path;
        QTest::newRow("folder") << Outcome::ImageUnreadable << path;
    }
    void refusedBeforeSending()
    {
        const QLatin1String how(QTest::currentDataTag());
        QFETCH(Outcome, outcome);
        QFETCH(QString, message);
        Run run(Kind::Flash, true);
        run.choose(imageOf(200));
        QCOMPARE(run.rig.ui.lastFilter.filter, QStringLiteral("Bin Files (*.bin)"));
        const QString path = run.form->imagePath();
        QVERIFY(!path.isEmpty());
        std::optional<wire::LinkClaim> other;
        if (how == QLatin1String("held")) {
            other.emplace(run.rig.link);
        } else if (how == QLatin1String("disconnected")) {
            run.rig.link.DisconnectLink();
        } else if (how == QLatin1String("cancelled")) {
            run.rig.ui.nextPath.reset();
            QVERIFY(!run.form->getdownloadfile());
            QVERIFY(run.form->imagePath().isEmpty());
        } else {
            QFile::remove(path);
            if (how == QLatin1String("folder"))
                QDir().mkdir(path);
        }
        QCOMPARE(run.form->doflashdl().outcome, outcome);
        QVERIFY(run.written().isEmpty());
        QCOMPARE(run.rig.ui.messages.size(), int(!message.isEmpty()));
        if (!message.isEmpty())
            QVERIFY(run.rig.ui.messages.constFirst().contains(message == QLatin1String("PATH") ? path : message));
        QCOMPARE(run.rig.link.busy(), how == QLatin1String("held"));
        QVERIFY(!run.dl->busy());
        if (how != QLatin1String("held") && how != QLatin1String("disconnected")) {
            QCOMPARE(run.rig.ui.status(), QString());
            QDir().rmdir(path);
            QCOMPARE(run.download(imageOf(200)).outcome, Outcome::Complete);
        }
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
};

QTEST_GUILESS_MAIN(TstFlashDownload)
#include "tst_flash_download.moc"
