// Start-up state and the command menu's rules, offscreen, over fake
// transports on the virtual clock.
#include "app/about.h"
#include "app/application.h"
#include "app/commandmenu.h"
#include "core/widgets/labelbutton.h"
#include "core/widgets/qtsinks.h"
#include "core/widgets/twips.h"
#include "link/fake/fakeio.h"
#include "tests/common/apprig.h"

#include <QFileDialog>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QSettings>
#include <QtTest>

using namespace std::chrono_literals;

namespace {
struct AppRig : testing::AppRig {
    void connect(bool tcp = false)
    {
        app.comm().mode = tcp ? wire::CommSettings::Mode::Tcp : wire::CommSettings::Mode::Serial;
        app.link().ConnectLink();
        QVERIFY(app.link().isConnected());
    }
};
} // namespace

class TestStartup : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
private Q_SLOTS:
    void initTestCase();
    void stateAfterStartup();
    void windowCaptionsAndPlacement();
    void statusBlinks();
    void screensExistHidden();
    void flashDeviceRules_data();
    void flashDeviceRules();
    void refusedEntriesKeepHighlight();
    void escapeOpensLoopbackOnlyWhenConnected();
    void addedEntriesStopTheTerminal_data();
    void addedEntriesStopTheTerminal();
    void aboutIsCentred();
    void closingDuringAReplyWaitEndsAtOnce();
    void closingDuringATcpConnectEndsAtOnce();
    void questionsDefaultToNo();
    void dialogsRememberTheFolderPerKind();
};

// The program's settings file lives in the test's own folder.
void TestStartup::initTestCase() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path()); }

void TestStartup::stateAfterStartup()
{
    AppRig rig;
    const auto &s = rig.app.state();
    const auto &comm = rig.app.comm();
    QCOMPARE(qint16(comm.mode), qint16(2));
    QCOMPARE(comm.port, 2);
    QCOMPARE(comm.baud, 9600);
    QCOMPARE(comm.tcpPort, QStringLiteral("57"));
    QVERIFY(!comm.ipAddress.isEmpty());
    QVERIFY(!s.terminalStop && !s.terminalTcp);
    QCOMPARE(s.digitWidth, core::digitWidthData());
    QCOMPARE(rig.app.link().statusCaption(), QStringLiteral("Disconnected"));
    QCOMPARE(rig.menu().status().text(), QStringLiteral("Disconnected"));
    QCOMPARE(rig.colour("Label3"), app::kYellow);
    QCOMPARE(rig.colour("Label1"), app::kWhite);
    QCOMPARE(rig.colour("Label4"), app::kWhite);
    QCOMPARE(rig.colour("Label20"), app::kYellow);
}

void TestStartup::windowCaptionsAndPlacement()
{
    AppRig rig;
    auto &main = rig.app.mainWindow();
    QCOMPARE(main.windowTitle(), QStringLiteral("Tarnic         Flash Utility     V 01.00"));
    QCOMPARE(main.menuBar()->actions().constFirst()->text(), QStringLiteral("About          "));
    QCOMPARE(main.height(), core::twipsToPixelsY(&main, 8500));
    QVERIFY(rig.visible("commform"));
    // A screen starts one twip to the right of the 2500-twip menu.
    auto *frame = rig.frame("commform");
    QCOMPARE(frame->x(), core::twipsToPixelsX(&main, 2501));
    QCOMPARE(frame->y(), 0);
    QCOMPARE(rig.menu().palette().color(QPalette::Window), app::kTeal);
    QVERIFY(rig.control("Label3")->font().bold());
}

void TestStartup::statusBlinks()
{
    AppRig rig;
    auto *timer = rig.menu().findChild<QTimer *>(QStringLiteral("Timer2"));
    QVERIFY(timer && timer->isActive());
    QCOMPARE(timer->interval(), 500);
    const QColor before = rig.colour("Label20");
    QTRY_VERIFY_WITH_TIMEOUT(rig.colour("Label20") != before, 2000);
    QCOMPARE(rig.colour("Label20"), app::kLightGreen);
    QTRY_VERIFY_WITH_TIMEOUT(rig.colour("Label20") == app::kYellow, 2000);
    QCOMPARE(rig.menu().status().text(), QStringLiteral("Disconnected"));
}

void TestStartup::screensExistHidden()
{
    AppRig rig;
    for (const char *name : {"termmode", "general", "wiegand", "barcode", "comm430", "utilities", "pgmform", "flashdl",
                             "flashboot2", "loopback"}) {
        QVERIFY2(rig.frame(name), name);
        QVERIFY2(!rig.visible(name), name);
    }
    // Every typed handle has its screen.
    for (std::size_t id = 0; id < app::kScreenCount; ++id)
        QVERIFY(rig.app.mainWindow().screen(static_cast<app::Screen>(id)));
}

void TestStartup::flashDeviceRules_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<int>("openedAt");
    QTest::addColumn<int>("baud"); // selected afterwards
    QTest::addColumn<bool>("opens");
    QTest::newRow("serial 9600") << false << 9600 << 9600 << true;
    QTest::newRow("serial 19200") << false << 9600 << 19200 << false;
    QTest::newRow("serial 115200") << false << 9600 << 115200 << false;
    // The port still runs at the rate it was opened with.
    QTest::newRow("opened at 115200, 9600 selected") << false << 115200 << 9600 << false;
    QTest::newRow("tcp 19200") << true << 9600 << 19200 << true;
}

void TestStartup::flashDeviceRules()
{
    QFETCH(bool, tcp);
    QFETCH(int, openedAt);
    QFETCH(int, baud);
    QFETCH(bool, opens);
    for (const bool boot2 : {false, true}) {
        AppRig rig;
        rig.app.comm().baud = openedAt;
        rig.connect(tcp);
        rig.app.comm().baud = baud;
        boot2 ? rig.menu().doboot2() : rig.menu().flashDevice();
        QVERIFY(rig.app.state().terminalStop);
        QCOMPARE(rig.visible(boot2 ? "flashboot2" : "flashdl"), opens);
        QCOMPARE(rig.ui.messages.isEmpty(), opens);
        if (!opens)
            QCOMPARE(rig.ui.messages.constFirst(),
                     QStringLiteral("Controller must be programmed to 9600 baud before reflashing"));
        QCOMPARE(rig.colour("Label4"), opens ? app::kYellow : app::kWhite);
    }
}

void TestStartup::refusedEntriesKeepHighlight()
{
    AppRig rig;
    rig.menu().terminalMode();
    rig.menu().flashDevice();
    QCOMPARE(rig.colour("Label3"), app::kYellow);
    QVERIFY(rig.ui.messages.isEmpty());
    QVERIFY(!rig.visible("termmode"));
    QVERIFY(!rig.visible("flashdl"));
}

void TestStartup::escapeOpensLoopbackOnlyWhenConnected()
{
    AppRig rig;
    QTest::keyClick(&rig.menu(), Qt::Key_Escape);
    QVERIFY(!rig.visible("loopback"));
    rig.connect();
    QTest::keyClick(&rig.menu(), Qt::Key_A);
    QVERIFY(!rig.visible("loopback"));
    QTest::keyClick(&rig.menu(), Qt::Key_Escape);
    QVERIFY(rig.visible("loopback"));
}

void TestStartup::addedEntriesStopTheTerminal_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("screen");
    QTest::newRow("Communications") << QStringLiteral("Label3") << QStringLiteral("commform");
    QTest::newRow("Configuration") << QStringLiteral("Configuration") << QStringLiteral("general");
    QTest::newRow("Wiegand") << QStringLiteral("wiegand") << QStringLiteral("wiegand");
    QTest::newRow("Barcode") << QStringLiteral("barcode") << QStringLiteral("barcode");
    QTest::newRow("Comm 430") << QStringLiteral("comm430") << QStringLiteral("comm430");
    QTest::newRow("Program Controller") << QStringLiteral("ProgramController") << QStringLiteral("pgmform");
    QTest::newRow("Utilities") << QStringLiteral("Utilities") << QStringLiteral("utilities");
}

void TestStartup::addedEntriesStopTheTerminal()
{
    QFETCH(QString, entry);
    QFETCH(QString, screen);
    AppRig rig;
    auto *label = rig.control(entry);
    QVERIFY(label);
    QTest::mouseClick(label, Qt::LeftButton);
    QVERIFY(rig.app.state().terminalStop);
    QVERIFY(rig.visible(screen));
    QCOMPARE(label->textColor(), app::kYellow);
}

void TestStartup::aboutIsCentred()
{
    AppRig rig;
    auto &main = rig.app.mainWindow();
    auto &about = main.about();
    about.centreOn(main);
    const QRect m = main.frameGeometry();
    QCOMPARE(about.x(), m.left() + (m.width() - about.width()) / 2);
    QCOMPARE(about.y(), m.top() + (m.height() - about.height()) / 2);
    QVERIFY(about.isModal());
}

// Closing the main window during a 5-second reply wait ends the wait at once
// and frees the port.
void TestStartup::closingDuringAReplyWaitEndsAtOnce()
{
    AppRig rig;
    rig.connect();
    rig.waiter.after(100ms, [&] { rig.app.mainWindow().close(); });
    const auto start = rig.waiter.now();
    QVERIFY(rig.app.link().ReadReplyLine().timedOut);
    QCOMPARE(rig.waiter.now() - start, wire::Ms(100));
    QVERIFY(!rig.serial.isOpen());
    QVERIFY(rig.ui.messages.isEmpty());
}

void TestStartup::closingDuringATcpConnectEndsAtOnce()
{
    AppRig rig;
    rig.tcp.acceptAfter.reset();
    rig.app.comm().mode = wire::CommSettings::Mode::Tcp;
    rig.waiter.after(100ms, [&] { rig.app.mainWindow().close(); });
    rig.app.link().ConnectLink();
    QCOMPARE(rig.waiter.now(), wire::Ms(100));
    QCOMPARE(rig.app.link().statusCaption(), QStringLiteral("Disconnected"));
}

// Enter on a question must not take the destructive answer.
void TestStartup::questionsDefaultToNo()
{
    core::QtMessageBox box(nullptr, [] { return false; });
    QTimer::singleShot(0, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Return); });
    QVERIFY(!box.ask(QStringLiteral("Clear everything?")));
}

void TestStartup::dialogsRememberTheFolderPerKind()
{
    for (const char *folder : {"images", "lists"})
        QVERIFY(QDir(m_dir.path()).mkpath(QLatin1String(folder)));
    const QString image = m_dir.filePath(QStringLiteral("images/fw.bin"));
    QFile(image).open(QIODevice::WriteOnly);
    const core::FileFilter images{QStringLiteral("Bin Files (*.bin)"), QStringLiteral("bin"), QString(),
                                  QStringLiteral("images")};
    const core::FileFilter lists{QStringLiteral("Text (*.txt)"), QStringLiteral("txt"), QString(),
                                 QStringLiteral("access-lists")};
    // Each dialog records where it opened and takes the given file.
    QStringList openedIn;
    auto answerWith = [&openedIn](const QString &path) {
        QTimer::singleShot(0, [&openedIn, path] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            openedIn.append(dialog->directory().absolutePath());
            dialog->selectFile(path);
            static_cast<QDialog *>(dialog)->accept();
        });
    };
    {
        core::QtFileChooser chooser(nullptr);
        answerWith(image);
        QCOMPARE(chooser.openFile(QStringLiteral("Image"), images), std::optional<QString>(image));
        answerWith(m_dir.filePath(QStringLiteral("lists/up.txt")));
        QVERIFY(chooser.saveFile(QStringLiteral("List"), lists, QStringLiteral("up.txt")));
    }
    // A later run: each kind opens where it was last chosen.
    core::QtFileChooser chooser(nullptr);
    answerWith(image);
    QVERIFY(chooser.openFile(QStringLiteral("Image"), images));
    answerWith(m_dir.filePath(QStringLiteral("lists/up.txt")));
    QVERIFY(chooser.saveFile(QStringLiteral("List"), lists, QStringLiteral("up.txt")));
    QCOMPARE(openedIn.mid(2),
             QStringList({m_dir.filePath(QStringLiteral("images")), m_dir.filePath(QStringLiteral("lists"))}));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
