// The terminal and the loopback test inside the whole program: entered and
// left through the command menu, over fakes on the virtual clock.
#include "app/application.h"
#include "app/commandmenu.h"
#include "core/widgets/labelbutton.h"
#include "link/fake/fakeio.h"
#include "loopback/screens/loopback.h"
#include "terminal/screens/termmode.h"
#include "tests/common/apprig.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTest>

using namespace std::chrono_literals;

namespace {
struct AppRig : testing::AppRig {
    terminal::TermMode &term()
    {
        return *static_cast<terminal::TermMode *>(app.mainWindow().screen(app::Screen::Terminal));
    }
};
} // namespace

class TestTerminalApp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A menu entry, or closing the program, ends the receive loop at once.
    void menuEntriesStopTheLoop_data()
    {
        QTest::addColumn<QString>("entry"); // empty: the main window is closed
        QTest::addColumn<QString>("screen");
        QTest::newRow("Communications") << QStringLiteral("Label3") << QStringLiteral("commform");
        QTest::newRow("Flash Device") << QStringLiteral("Label4") << QStringLiteral("flashdl");
        QTest::newRow("closing the program") << QString() << QString();
    }

    void menuEntriesStopTheLoop()
    {
        QFETCH(QString, entry);
        QFETCH(QString, screen);
        AppRig rig;
        rig.app.link().ConnectLink();
        QVERIFY(rig.app.link().isConnected());
        rig.serial.stream.deliver("hi", 20ms);
        bool busyInside = false;
        rig.waiter.after(100ms, [&] {
            busyInside = rig.app.link().busy();
            if (entry.isEmpty())
                rig.app.mainWindow().close();
            else
                rig.click(entry);
        });
        rig.click("Label1"); // stays in the receive loop until the entry above
        QVERIFY(busyInside);
        QVERIFY(!rig.app.link().busy());
        QCOMPARE(rig.waiter.now(), std::chrono::milliseconds(100));
        QCOMPARE(rig.term().session().grid().rowText(1).trimmed(), QStringLiteral("hi"));
        QVERIFY(rig.ui.messages.isEmpty());
        QVERIFY(screen.isEmpty() || rig.visible(screen));
        QCOMPARE(rig.term().findChild<QLabel *>(QStringLiteral("Label2(0)"))->text(),
                 QStringLiteral("Connected to comm port 2"));
    }

    // Escape opens the loopback test only on an open link, from the terminal too.
    void escapeDuringTerminalThenLoopback()
    {
        AppRig rig;
        QTest::keyClick(&rig.menu(), Qt::Key_Escape);
        QVERIFY(!rig.visible("loopback"));
        rig.app.link().ConnectLink();
        QTest::keyClick(&rig.menu(), Qt::Key_A);
        QVERIFY(!rig.visible("loopback"));
        rig.waiter.after(50ms, [&] { QTest::keyClick(&rig.app.mainWindow().commandMenu(), Qt::Key_Escape); });
        rig.click("Label1");
        QVERIFY(rig.visible("loopback"));
        QVERIFY(!rig.app.link().busy());
        // The test can start now that the terminal gave the link back; no echo:
        // stop it after its first time-out.
        auto *screen = static_cast<loopback::LoopbackScreen *>(rig.app.mainWindow().screen(app::Screen::Loopback));
        bool refused = false;
        rig.waiter.setOnPass([&] {
            if (screen->test().timeouts() == 1 && !refused) {
                // "Terminal Mode" while the test runs is refused: it returns at once.
                rig.click("Label1");
                refused = !rig.term().session().running();
                screen->stop();
            }
        });
        screen->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
        QVERIFY(refused);
        QCOMPARE(screen->test().charactersSent(), 2); // stop is seen before the next character
        QCOMPARE(rig.serial.stream.writes.value(0), QByteArray("\x00\x1b\r\x00\x1b\r", 6));
        QVERIFY(!rig.app.link().busy());
    }

    // Clicking "Terminal Mode" while the terminal runs behind another screen
    // brings it back to the front; no second loop starts.
    void terminalModeAgainBringsItToTheFront()
    {
        AppRig rig;
        rig.app.link().ConnectLink();
        auto &main = rig.app.mainWindow();
        bool frontAgain = false;
        rig.waiter.after(50ms, [&] {
            main.showScreen(app::Screen::Utilities); // the user clicks another window
            rig.click("Label1");
            frontAgain = main.frame(app::Screen::Terminal)->isActiveWindow()
                || main.findChild<QMdiArea *>()->activeSubWindow() == main.frame(app::Screen::Terminal);
        });
        rig.waiter.after(100ms, [&] { rig.click("Label3"); });
        rig.click("Label1");
        QVERIFY(frontAgain);
        QCOMPARE(rig.waiter.now(), std::chrono::milliseconds(100));
        QVERIFY(!rig.app.link().busy());
    }
};

QTEST_MAIN(TestTerminalApp)
#include "tst_terminal_app.moc"
