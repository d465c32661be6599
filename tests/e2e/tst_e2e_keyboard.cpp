// The whole program driven from the keyboard alone, against a simulated
// controller over TCP on the real transports and event loop: every key goes
// to the widget that has the focus, as a technician's would. Connect, download
// a firmware image, program the controller, read its identification.
#include "app/application.h"
#include "flash/screens/downloadscreen.h"
#include "tests/common/files.h"
#include "tests/common/liverig.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

namespace {
QWidget *focused() { return QApplication::focusWidget(); }

void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) { QTest::keyClick(focused(), key, modifiers); }

// Tab until the control named has the focus.
bool tabTo(const char *name)
{
    for (int i = 0; i < 60 && focused()->objectName() != QLatin1String(name); ++i)
        press(Qt::Key_Tab);
    return focused()->objectName() == QLatin1String(name);
}
} // namespace

class TstE2eKeyboard : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void walk();
};

void TstE2eKeyboard::walk()
{
    testing::SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--tcp"), QStringLiteral("0")}));
    QTemporaryDir dir;
    wire::EventLoopWaiter waiter;
    wire::QtSerialIo serial;
    wire::QtTcpIo tcp;
    testing::Recorder ui;
    ui.nextPath = dir.filePath(QStringLiteral("fw.bin"));
    // The trailer names the firmware the controller answers with once it runs it.
    QByteArray image(5044, '\x5a');
    image.replace(5000, 44, QByteArray("5200 Series Controller V 02.15").leftJustified(44, '\0'));
    QVERIFY(testing::writeFile(*ui.nextPath, image));
    app::Application app{{waiter, serial, tcp, &ui, &ui}};
    auto &main = app.mainWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    // The pause while the controller restarts is the one thing not waited out.
    static_cast<flash::DownloadScreen *>(main.screen(app::Screen::FlashDownload))->download().setPauseOverride(50ms);

    // Communications: TCP/IP, the simulator's address and port, Enter.
    QVERIFY(tabTo("Option1"));
    press(Qt::Key_Space);
    for (const auto &[field, text] :
         {std::pair{"Text1", QStringLiteral("127.0.0.1")}, std::pair{"Text3", QString::number(sim.tcpPort())}}) {
        QVERIFY(tabTo(field));
        press(Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(focused(), text);
    }
    press(Qt::Key_Return);
    QVERIFY(app.link().isConnected());

    // Flash Device by its shortcut; the file and the start by Tab and Enter.
    press(Qt::Key_3, Qt::ControlModifier);
    QVERIFY(tabTo("Label4"));
    press(Qt::Key_Return);
    QVERIFY(tabTo("Label8"));
    press(Qt::Key_Return);
    QCOMPARE(ui.messages, QStringList{QStringLiteral("Download complete")});

    // Program Controller: F6 to the menu, down the entries, Enter; the run by its shortcut.
    press(Qt::Key_F6);
    while (focused()->objectName() != "ProgramController" && focused()->objectName() != "Fleet")
        press(Qt::Key_Down);
    press(Qt::Key_Return);
    press(Qt::Key_Return, Qt::ControlModifier);
    QVERIFY(main.screen(app::Screen::Program)
                ->findChild<QPlainTextEdit *>(QStringLiteral("Picture2"))
                ->toPlainText()
                .endsWith(QStringLiteral("Programming Complete")));

    // Utilities by its shortcut, the identification by its own.
    press(Qt::Key_6, Qt::ControlModifier);
    press(Qt::Key_I, Qt::ControlModifier);
    QCOMPARE(main.screen(app::Screen::Utilities)->findChild<QLineEdit *>(QStringLiteral("Text1(0)"))->text(),
             QStringLiteral("5200 Series Controller V 02.15"));
    // Escape closes the screen, and the keyboard is back on the menu.
    press(Qt::Key_Escape);
    QVERIFY(!main.frame(app::Screen::Utilities)->isVisible() && focused()->objectName() == "Utilities");
}

QTEST_MAIN(TstE2eKeyboard)
#include "tst_e2e_keyboard.moc"
