// Start-up state and the command menu's rules, offscreen, over fake
// transports on the virtual clock.
#include "app/about.h"
#include "app/application.h"
#include "app/commandmenu.h"
#include "core/widgets/labelbutton.h"
#include "core/widgets/twips.h"
#include "link/fake/fakeio.h"
#include "tests/common/apprig.h"

#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QRadioButton>
#include <QTemporaryDir>
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
private Q_SLOTS:
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
    void settingsProfiles();
    void closingDuringAReplyWaitEndsAtOnce();
    void closingDuringATcpConnectEndsAtOnce();
};

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
// Open and Save Settings change every settings screen at once and the status
// line follows; a file with a bad line changes nothing and says where.
void TestStartup::settingsProfiles()
{
    AppRig rig;
    QTemporaryDir dir;
    const auto file = [&dir](const char *name, const QByteArray &text) {
        QFile f(dir.filePath(QLatin1String(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    };
    file("site.tfp", "# tarnic-profile 1\ngeneral.max_id_size = 20\nbarcode.priority = large\n");
    file("bad.tfp", "# tarnic-profile 1\ngeneral.max_id_size = 12\ngeneral.beep\n");
    auto *status = rig.app.mainWindow().findChild<QLabel *>(QStringLiteral("profileStatus"));
    auto *maxIdSize =
        rig.app.mainWindow().screen(app::Screen::General)->findChild<QLineEdit *>(QStringLiteral("Text1(2)"));
    auto *large =
        rig.app.mainWindow().screen(app::Screen::Barcode)->findChild<QRadioButton *>(QStringLiteral("Option1(1)"));
    QCOMPARE(status->text(), QStringLiteral("Settings profile: none"));
    QCOMPARE(maxIdSize->text(), QStringLiteral("18"));

    rig.ui.nextPath = dir.filePath(QStringLiteral("site.tfp"));
    rig.click(QStringLiteral("OpenSettings"));
    QCOMPARE(rig.ui.lastFilter.filter, QStringLiteral("Settings profiles (*.tfp)"));
    QCOMPARE(maxIdSize->text(), QStringLiteral("20"));
    QVERIFY(large->isChecked());
    QCOMPARE(status->text(), QStringLiteral("Settings profile: site.tfp"));
    QTest::keyClick(maxIdSize, Qt::Key_Backspace);
    QCOMPARE(status->text(), QStringLiteral("Settings profile: site.tfp, changed"));

    rig.ui.nextPath = dir.filePath(QStringLiteral("bad.tfp"));
    rig.click(QStringLiteral("OpenSettings"));
    QCOMPARE(rig.ui.messages, QStringList{dir.filePath(QStringLiteral("bad.tfp:3: not a \"key = value\" line"))});
    QCOMPARE(maxIdSize->text(), QStringLiteral("2"));
    QCOMPARE(rig.app.settings().general.Text1[2], QStringLiteral("2"));

    rig.ui.nextPath = dir.filePath(QStringLiteral("saved.tfp"));
    rig.click(QStringLiteral("SaveSettings"));
    QCOMPARE(status->text(), QStringLiteral("Settings profile: saved.tfp"));
    QFile saved(*rig.ui.nextPath);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY(saved.readAll().contains("\ngeneral.max_id_size = 2\nbarcode.priority = large\n"));
}

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

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
