// Downloads against tarnic-sim over a real pseudo-terminal and real TCP: the
// image the simulator received equals the image sent, and a fault at block N
// names the right stage. The in-process runs shorten only the pause after the
// break-in; the tarnic-cli runs keep every time as it is.
#include "flash/download.h"
#include "link/link.h"
#include "tests/common/liverig.h"
#include "tests/common/openfiles.h"
#include "tests/common/simprocess.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace std::chrono_literals;
using flash::Kind;

Q_DECLARE_METATYPE(flash::Kind)

namespace {

QByteArray randomImage(qsizetype size)
{
    QByteArray image(size, '\0');
    QRandomGenerator rng(static_cast<quint32>(size));
    for (char &c : image)
        c = static_cast<char>(rng.bounded(256));
    return image;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// A simulator saving what it receives, and an image file to send to it.
struct Setup {
    bool start(const QByteArray &bytes, const QStringList &more = {})
    {
        image = bytes;
        QFile f(sent);
        return f.open(QIODevice::WriteOnly) && f.write(image) == image.size()
            && sim.start(QStringList{QStringLiteral("--pty"), QStringLiteral("--tcp"), QStringLiteral("0"),
                                     QStringLiteral("--save-image"), saved}
                         + more);
    }
    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("got.bin"));
    const QString sent = dir.filePath(QStringLiteral("fw.bin"));
    QByteArray image;
    testing::SimProcess sim;
};

// The program's side in this process, on the real transports and waiter.
struct Program : testing::LiveRig {
    flash::Result download(Kind kind, const QString &path)
    {
        flash::FlashDownload dl(kind, link, ui, ui, ui);
        dl.setPauseOverride(50ms);
        ui.nextPath = path;
        dl.getdownloadfile();
        return dl.doflashdl();
    }
};

} // namespace

class TstE2eFlash : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void download_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<int>("size");
        QTest::addColumn<QStringList>("fault");
        QTest::addColumn<QString>("message");
        const QString done = QStringLiteral("Download complete");
        QTest::newRow("flash pty") << Kind::Flash << false << 20044 << QStringList() << done;
        QTest::newRow("flash tcp") << Kind::Flash << true << 20045 << QStringList() << done;
        QTest::newRow("extension pty") << Kind::BootExt << false << 10070 << QStringList() << done;
        QTest::newRow("extension tcp") << Kind::BootExt << true << 10144 << QStringList() << done;
        // 244 bytes: blocks 1 to 3 full, block 4 the last, then the final B (5).
        const auto f = [](const char *what, int n) { return QStringList{QLatin1String(what), QString::number(n)}; };
        const auto serial = [](int stage) { return QStringLiteral("Download Error, error code %1").arg(stage); };
        const QString tcpError = QStringLiteral("Download Error");
        QTest::newRow("pty wrong ack last block")
            << Kind::Flash << false << 244 << f("--boot-wrong-ack", 4) << serial(3);
        QTest::newRow("pty wrong final B") << Kind::Flash << false << 244 << f("--boot-wrong-ack", 5) << serial(4);
        QTest::newRow("tcp wrong ack block 1") << Kind::Flash << true << 244 << f("--boot-wrong-ack", 1) << tcpError;
        // The link dropped at every acknowledgement, halfway through a frame
        // and in the break-in: the stage waiting at that moment reports it.
        for (int ack = 1; ack <= 5; ++ack) {
            const int stage = ack <= 3 ? 2 : ack - 1;
            QTest::addRow("pty drop at ack %d", ack)
                << Kind::Flash << false << 244 << f("--boot-drop-at", ack) << serial(stage);
            QTest::addRow("tcp drop at ack %d", ack)
                << Kind::Flash << true << 244 << f("--boot-drop-at", ack) << tcpError;
        }
        for (const int block : {1, 4}) {
            QTest::addRow("pty drop inside block %d", block)
                << Kind::Flash << false << 244 << f("--boot-drop-mid", block) << serial(block == 4 ? 3 : 2);
            QTest::addRow("tcp drop inside block %d", block)
                << Kind::Flash << true << 244 << f("--boot-drop-mid", block) << tcpError;
        }
        QTest::newRow("pty drop in break-in") << Kind::Flash << false << 244 << f("--drop-after-bytes", 3) << serial(1);
        QTest::newRow("tcp drop in break-in") << Kind::Flash << true << 244 << f("--drop-after-bytes", 3) << tcpError;
        QTest::newRow("tcp extension drop at fill")
            << Kind::BootExt << true << 244 << f("--boot-drop-at", 7) << tcpError;
        // The extension's 5-second acknowledgement time-out, in real time.
        QTest::newRow("pty extension silent block 2")
            << Kind::BootExt << false << 244 << f("--boot-silent-at", 2) << serial(2);
    }
    void download()
    {
        QFETCH(Kind, kind);
        QFETCH(bool, tcp);
        QFETCH(int, size);
        QFETCH(QStringList, fault);
        QFETCH(QString, message);
        Setup s;
        QVERIFY(s.start(randomImage(size), fault));
        Program p;
        QVERIFY(p.connectTo(s.sim, tcp));
        QElapsedTimer clock;
        clock.start();
        const flash::Result r = p.download(kind, s.sent);
        QCOMPARE(p.ui.messages, QStringList{message});
        QVERIFY(!testing::holdsOpen(s.sent));
        QVERIFY(!p.link.busy());
        if (!fault.isEmpty()) {
            QCOMPARE(r.outcome, flash::Outcome::DownloadError);
            // Nothing kept before the final B; the fills follow it.
            if (QFile::exists(s.saved))
                QVERIFY(QByteArray(QTest::currentDataTag()).contains("fill"));
            if (fault.constFirst().contains(QLatin1String("drop"))) {
                // At once, not after the 15-second time-out.
                QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
                QCOMPARE(p.link.statusCaption(), QStringLiteral("Disconnected"));
            }
            // A new attempt from the same program meets the controller the
            // failed one left in its boot code (each fault fires once), unless
            // the dropped line was a pseudo-terminal, which is gone.
            Setup again;
            const bool gone = !tcp && fault.constFirst().contains(QLatin1String("drop"));
            QVERIFY(!gone || again.start(s.image));
            const Setup &next = gone ? again : s;
            p.link.DisconnectLink();
            QVERIFY(p.connectTo(next.sim, tcp));
            p.ui.messages.clear();
            QCOMPARE(p.download(kind, next.sent).outcome, flash::Outcome::Complete);
            QCOMPARE(p.ui.messages, QStringList{QStringLiteral("Download complete")});
            QCOMPARE(readFile(next.saved), next.image);
            return;
        }
        QCOMPARE(r.outcome, flash::Outcome::Complete);
        QCOMPARE(readFile(s.saved), s.image);
        // A second download on the same link.
        QFile::remove(s.saved);
        QCOMPARE(p.download(kind, s.sent).outcome, flash::Outcome::Complete);
        QCOMPARE(readFile(s.saved), s.image);
    }

    // The commands with their real times, and what they refuse before sending.
    void cli_data()
    {
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QStringList>("firstAttemptFault");
        QTest::newRow("bootext pty") << false << QStringList{QStringLiteral("bootext"), QStringLiteral("IMAGE")} << 0
                                     << QByteArray("Preparing to Download Flash\nDownloading - ") << QStringList();
        // The retry meets the boot code the dropped attempt left running.
        QTest::newRow("flash tcp, retried after a drop")
            << true << QStringList{QStringLiteral("flash"), QStringLiteral("IMAGE")} << 0
            << QByteArray("Preparing to Download Flash\nDownloading - ")
            << QStringList{QStringLiteral("--boot-drop-mid"), QStringLiteral("3")};
        QTest::newRow("19200 baud") << false
                                    << QStringList{QStringLiteral("--baud"), QStringLiteral("19200"),
                                                   QStringLiteral("flash"), QStringLiteral("IMAGE")}
                                    << 1 << QByteArray("Controller must be programmed to 9600 baud before reflashing\n")
                                    << QStringList();
        QTest::newRow("missing image")
            << false << QStringList{QStringLiteral("bootext"), QStringLiteral("/nonexistent/fw.bin")} << 1
            << QByteArray("Preparing to Download Flash\nCannot read the image file /nonexistent/fw.bin")
            << QStringList();
    }
    void cli()
    {
        QFETCH(bool, tcp);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, out);
        QFETCH(QStringList, firstAttemptFault);
        Setup s;
        QVERIFY(s.start(randomImage(tcp ? 1044 : 1000), firstAttemptFault));
        args.replaceInStrings(QStringLiteral("IMAGE"), s.sent);
        if (!firstAttemptFault.isEmpty())
            QCOMPARE(testing::runCli(testing::cliLinkArgs(s.sim, tcp) + args).exitCode, 1);
        const auto run = testing::runCli(testing::cliLinkArgs(s.sim, tcp) + args);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.out.startsWith(out), run.out.constData());
        // Not a terminal: no progress display.
        QVERIFY(run.err.isEmpty());
        if (exitCode == 0) {
            QVERIFY(run.out.endsWith("Download complete\n"));
            QCOMPARE(readFile(s.saved), s.image);
        } else {
            // Nothing reached the boot code.
            s.sim.process().waitForReadyRead(200);
            QVERIFY(!s.sim.process().readAllStandardOutput().contains("boot:"));
        }
    }
};

QTEST_GUILESS_MAIN(TstE2eFlash)
#include "tst_e2e_flash.moc"
