// Downloads against tarnic-sim over a real pseudo-terminal and real TCP: the
// image the simulator received equals the image sent, and a fault at block N
// names the right stage. The in-process runs shorten only the pause after the
// break-in; the tarnic-cli runs keep every time as it is.
#include "flash/download.h"
#include "link/link.h"
#include "link/qtserialio.h"
#include "link/qttcpio.h"
#include "tests/common/recorders.h"
#include "tests/common/simprocess.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

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

// The program's side in this process, on the real transports and waiter.
struct Program {
    bool connect(testing::SimProcess &sim, bool tcp)
    {
        if (tcp) {
            wire::selectMode(comm, state, wire::CommSettings::Mode::Tcp);
            wire::setIpText(comm, state, QStringLiteral("127.0.0.1"));
            wire::setPortText(comm, state, QString::number(sim.tcpPort()));
        } else {
            wire::selectMode(comm, state, wire::CommSettings::Mode::Serial);
            wire::selectBaud(comm, state, 9600);
            comm.device = sim.ptyPath();
        }
        link.ConnectLink();
        return link.isConnected();
    }
    flash::Result download(Kind kind, const QString &path)
    {
        flash::FlashDownload dl(kind, link, ui, ui, ui);
        dl.setPauseOverride(50ms);
        ui.nextPath = path;
        dl.getdownloadfile();
        return dl.doflashdl();
    }

    core::AppState state;
    wire::CommSettings comm;
    wire::EventLoopWaiter waiter;
    wire::QtSerialIo serial;
    wire::QtTcpIo tcp;
    testing::Recorder ui;
    wire::Link link{state, comm, waiter, ui, serial, tcp};
};

QStringList simArgs(const QString &saved, const QStringList &more = {})
{
    return QStringList{QStringLiteral("--pty"), QStringLiteral("--tcp"), QStringLiteral("0"),
                       QStringLiteral("--save-image"), saved}
        + more;
}

} // namespace

class TstE2eFlash : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void imageArrivesWhole_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<int>("size");
        QTest::newRow("flash pty") << Kind::Flash << false << 20044;
        QTest::newRow("flash tcp") << Kind::Flash << true << 20045;
        QTest::newRow("extension pty") << Kind::BootExt << false << 10070;
        QTest::newRow("extension tcp") << Kind::BootExt << true << 10144;
    }
    void imageArrivesWhole()
    {
        QFETCH(Kind, kind);
        QFETCH(bool, tcp);
        QFETCH(int, size);
        QTemporaryDir dir;
        const QString saved = dir.filePath(QStringLiteral("got.bin"));
        const QString sent = dir.filePath(QStringLiteral("fw.bin"));
        const QByteArray image = randomImage(size);
        QFile f(sent);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(image);
        f.close();
        testing::SimProcess sim;
        QVERIFY(sim.start(simArgs(saved)));
        Program p;
        QVERIFY(p.connect(sim, tcp));
        const flash::Result r = p.download(kind, sent);
        QCOMPARE(p.ui.messages, QStringList{QStringLiteral("Download complete")});
        QCOMPARE(r.outcome, flash::Outcome::Complete);
        QCOMPARE(readFile(saved), image);
        // A second download on the same link.
        QFile::remove(saved);
        QCOMPARE(p.download(kind, sent).outcome, flash::Outcome::Complete);
        QCOMPARE(readFile(saved), image);
    }

    void faultNamesStage_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<QStringList>("fault");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("dropped");
        // 244 bytes: blocks 1 to 3 full, block 4 the last, then the final B (5).
        const auto wrong = [](int n) { return QStringList{QStringLiteral("--boot-wrong-ack"), QString::number(n)}; };
        const auto drop = [](int n) { return QStringList{QStringLiteral("--boot-drop-at"), QString::number(n)}; };
        const auto serial = [](int stage) { return QStringLiteral("Download Error, error code %1").arg(stage); };
        QTest::newRow("pty wrong ack block 2") << Kind::Flash << false << wrong(2) << serial(2) << false;
        QTest::newRow("pty wrong ack last block") << Kind::Flash << false << wrong(4) << serial(3) << false;
        QTest::newRow("pty wrong final B") << Kind::Flash << false << wrong(5) << serial(4) << false;
        QTest::newRow("tcp wrong ack block 1") << Kind::Flash << true << wrong(1) << QStringLiteral("Download Error") << false;
        QTest::newRow("pty drop block 3") << Kind::Flash << false << drop(3) << serial(2) << true;
        QTest::newRow("tcp drop block 3") << Kind::Flash << true << drop(3) << QStringLiteral("Download Error") << true;
        // The extension's 5-second acknowledgement time-out, in real time.
        QTest::newRow("pty extension silent block 2")
            << Kind::BootExt << false << QStringList{QStringLiteral("--boot-silent-at"), QStringLiteral("2")}
            << serial(2) << false;
    }
    void faultNamesStage()
    {
        QFETCH(Kind, kind);
        QFETCH(bool, tcp);
        QFETCH(QStringList, fault);
        QFETCH(QString, message);
        QFETCH(bool, dropped);
        QTemporaryDir dir;
        const QString saved = dir.filePath(QStringLiteral("got.bin"));
        const QString sent = dir.filePath(QStringLiteral("fw.bin"));
        QFile f(sent);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(randomImage(244));
        f.close();
        testing::SimProcess sim;
        QVERIFY(sim.start(simArgs(saved, fault)));
        Program p;
        QVERIFY(p.connect(sim, tcp));
        QElapsedTimer clock;
        clock.start();
        const flash::Result r = p.download(kind, sent);
        QCOMPARE(p.ui.messages, QStringList{message});
        QCOMPARE(r.outcome, flash::Outcome::DownloadError);
        QVERIFY(!QFile::exists(saved));
        if (dropped) {
            // At once, not after the 15-second time-out.
            QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
            QCOMPARE(p.link.statusCaption(), QStringLiteral("Disconnected"));
        }
    }

    // Paced at 9600 baud, the blocks take at least as long as the line needs
    // for their bytes and the "K"s, and not much longer.
    void pacedNoFasterThanTheLine()
    {
        struct Timer final : flash::Observer {
            QElapsedTimer clock;
            qint64 ms = -1;
            qint64 total = 0;
            void blocksStarting(qint64 t, qint64, wire::Ms) override
            {
                total = t;
                clock.start();
            }
            void blockAcknowledged(qint64 n, qint64, wire::Ms) override
            {
                if (n == total)
                    ms = clock.elapsed();
            }
        } timer;
        QTemporaryDir dir;
        const QString sent = dir.filePath(QStringLiteral("fw.bin"));
        QFile f(sent);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(randomImage(32 * 10));
        f.close();
        testing::SimProcess sim;
        QVERIFY(sim.start({QStringLiteral("--pty"), QStringLiteral("--pace"), QStringLiteral("9600")}));
        Program p;
        QVERIFY(p.connect(sim, false));
        flash::FlashDownload dl(Kind::BootExt, p.link, p.ui, p.ui, p.ui);
        dl.setObserver(&timer);
        dl.setPauseOverride(50ms);
        p.ui.nextPath = sent;
        dl.getdownloadfile();
        QCOMPARE(dl.doflashdl().outcome, flash::Outcome::Complete);
        // Ten frames of 34 bytes and ten "K"s, 10 bits a byte.
        const qint64 lineMs = 10 * 35 * 10 * 1000 / 9600;
        QVERIFY2(timer.ms >= lineMs, qPrintable(QString::number(timer.ms)));
        QVERIFY2(timer.ms < 2 * lineMs, qPrintable(QString::number(timer.ms)));
    }

    void cli_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<int>("size");
        QTest::newRow("bootext pty") << QStringLiteral("bootext") << false << 1000;
        QTest::newRow("flash tcp") << QStringLiteral("flash") << true << 1044;
    }
    void cli()
    {
        QFETCH(QString, command);
        QFETCH(bool, tcp);
        QFETCH(int, size);
        QTemporaryDir dir;
        const QString saved = dir.filePath(QStringLiteral("got.bin"));
        const QString sent = dir.filePath(QStringLiteral("fw.bin"));
        const QByteArray image = randomImage(size);
        QFile f(sent);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(image);
        f.close();
        testing::SimProcess sim;
        QVERIFY(sim.start(simArgs(saved)));
        const QStringList link = tcp ? QStringList{QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:%1").arg(sim.tcpPort())}
                                     : QStringList{QStringLiteral("--serial"), sim.ptyPath()};
        const auto run = testing::runCli(link + QStringList{command, sent});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.startsWith("Preparing to Download Flash\nDownloading - "), run.out.constData());
        QVERIFY(run.out.endsWith("Download complete\n"));
        // Not a terminal: no progress display.
        QVERIFY(run.err.isEmpty());
        QCOMPARE(readFile(saved), image);
    }

    // With stderr on a terminal the command shows its progress there, and
    // stdout still carries only the status texts.
    void cliProgressOnTerminal()
    {
        QTemporaryDir dir;
        const QString sent = dir.filePath(QStringLiteral("fw.bin"));
        QFile f(sent);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(randomImage(32 * 100));
        f.close();
        testing::SimProcess sim;
        QVERIFY(sim.start({QStringLiteral("--pty")}));
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
        const QByteArray terminal = ::ptsname(master);
        QProcess cli;
        cli.setChildProcessModifier([terminal] {
            const int fd = ::open(terminal.constData(), O_RDWR | O_NOCTTY);
            if (fd >= 0)
                ::dup2(fd, STDERR_FILENO);
        });
        cli.start(qEnvironmentVariable("TARNIC_CLI"),
                  {QStringLiteral("--serial"), sim.ptyPath(), QStringLiteral("bootext"), sent});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        const QByteArray out = cli.readAllStandardOutput();
        QVERIFY(out.endsWith("Download complete\n"));
        QVERIFY(!out.contains("Block"));
        QByteArray shown;
        ::fcntl(master, F_SETFL, O_NONBLOCK);
        char buffer[4096];
        for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
            shown.append(buffer, n);
        ::close(master);
        QVERIFY2(shown.contains("Block 100 of 100"), shown.constData());
    }

    void cliRefusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("out");
        QTest::newRow("19200 baud") << QStringList{QStringLiteral("--baud"), QStringLiteral("19200"), QStringLiteral("flash"),
                                                   QStringLiteral("fw.bin")}
                                    << 1 << QByteArray("Controller must be programmed to 9600 baud before reflashing\n");
        QTest::newRow("missing image") << QStringList{QStringLiteral("bootext"), QStringLiteral("/nonexistent/fw.bin")} << 1
                                       << QByteArray("Preparing to Download Flash\nCannot read the image file /nonexistent/fw.bin");
        QTest::newRow("no image named") << QStringList{QStringLiteral("flash")} << 2 << QByteArray();
        QTest::newRow("empty image name") << QStringList{QStringLiteral("bootext"), QString()} << 2 << QByteArray();
    }
    void cliRefusals()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, out);
        testing::SimProcess sim;
        QTemporaryDir dir;
        QVERIFY(sim.start(simArgs(dir.filePath(QStringLiteral("got.bin")))));
        const auto run = testing::runCli(QStringList{QStringLiteral("--serial"), sim.ptyPath()} + args);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.out.startsWith(out), run.out.constData());
        // A usage error says so on stderr.
        QCOMPARE(!run.err.isEmpty(), exitCode == 2);
        // Nothing reached the boot code.
        sim.process().waitForReadyRead(200);
        QVERIFY(!sim.process().readAllStandardOutput().contains("boot:"));
    }
};

QTEST_GUILESS_MAIN(TstE2eFlash)
#include "tst_e2e_flash.moc"
