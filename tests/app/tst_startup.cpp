// Start-up state and the command menu's rules, offscreen, over fake
// transports on the virtual clock.
#include "app/about.h"
#include "app/application.h"
#include "app/commandmenu.h"
#include "config/profilesession.h"
#include "core/widgets/elidedlabel.h"
#include "core/widgets/labelbutton.h"
#include "core/widgets/qtsinks.h"
#include "link/fake/fakeio.h"
#include "tests/common/apprig.h"
#include "tests/common/files.h"
#include "tests/common/rows.h"
#include "tests/common/testjournal.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

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
// The screens' control names, in the order of app::Screen.
const QLatin1String kScreenNames[] = {QLatin1String("commform"),   QLatin1String("termmode"),  QLatin1String("general"),
                                      QLatin1String("wiegand"),    QLatin1String("barcode"),   QLatin1String("comm430"),
                                      QLatin1String("pgmform"),    QLatin1String("utilities"), QLatin1String("flashdl"),
                                      QLatin1String("flashboot2"), QLatin1String("loopback"),  QLatin1String("fleet")};
static_assert(std::size(kScreenNames) == app::kScreenCount);

// The widgets a key (Tab or Backtab) visits from start, each sent to the
// focused widget, until the focus comes round to start again; empty when it
// never does.
QWidgetList tabChain(QWidget *start, Qt::Key key)
{
    start->setFocus();
    QWidgetList chain{start};
    for (int i = 0; i < 1000; ++i) {
        QTest::keyClick(QApplication::focusWidget(), key);
        QWidget *at = QApplication::focusWidget();
        if (at == start)
            return chain;
        if (chain.contains(at))
            break;
        chain << at;
    }
    return {};
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
private Q_SLOTS:
    // The program's settings file lives in the test's own folder.
    void initTestCase() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path()); }

    // Serial port 2 at 9600, the Communications screen alone shown with its
    // entry lit, every other screen made and hidden, the captions exact.
    void stateAfterStartup()
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
        QCOMPARE(rig.app.link().statusCaption(), QStringLiteral("Disconnected"));
        QCOMPARE(rig.menu().status().text(), QStringLiteral("Disconnected"));
        // Entries that need a link are refused without a message and keep the
        // highlight; the menu's own line says why, until the next entry.
        for (const char *entry : {"Label1", "Label4", "BootloaderExt"}) {
            rig.menu().findChild<QLabel *>(QStringLiteral("menuNote"))->clear();
            rig.click(QLatin1String(entry));
            QCOMPARE(rig.menu().note().text(), QStringLiteral("Not connected: connect on Communications first"));
        }
        QVERIFY(rig.ui.messages.isEmpty());
        QCOMPARE(rig.colour("Label3"), app::kYellow);
        rig.click(QStringLiteral("Label3"));
        QVERIFY(rig.menu().note().text().isEmpty());
        auto &main = rig.app.mainWindow();
        QCOMPARE(main.windowTitle(), QStringLiteral("Tarnic         Flash Utility     V 01.00"));
        QCOMPARE(main.menuBar()->actions().constFirst()->text(), QStringLiteral("About          "));
        QVERIFY(rig.visible("commform"));
        for (std::size_t id = 1; id < app::kScreenCount; ++id)
            QVERIFY(!main.frame(static_cast<app::Screen>(id))->isVisible());
        // The program's icon, not the toolkit's, on the screens' frames.
        QVERIFY(!QApplication::windowIcon().isNull());
        QCOMPARE(rig.frame("commform")->windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
    }

    // No screen needs scrolling at the main window's starting size; each takes
    // the room the window gives it.
    void screensGrowWithTheWindow_data()
    {
        QTest::addColumn<int>("screen");
        for (std::size_t id = 0; id < app::kScreenCount; ++id)
            QTest::newRow(kScreenNames[id].data()) << int(id);
    }

    void screensGrowWithTheWindow()
    {
        QFETCH(int, screen);
        AppRig rig;
        auto &main = rig.app.mainWindow();
        const auto id = static_cast<app::Screen>(screen);
        main.showScreen(id);
        QWidget *content = main.screen(id);
        QMdiSubWindow *frame = main.frame(id);
        auto scrolls = [content] {
            for (const QScrollArea *scroll : content->findChildren<QScrollArea *>()) {
                const QSize need = scroll->widget()->minimumSizeHint();
                const QSize room = scroll->maximumViewportSize();
                if (need.width() > room.width() || need.height() > room.height())
                    return true;
            }
            return false;
        };
        QTRY_VERIFY(!scrolls()); // already at the starting size
        const QSize before = content->size();
        main.resize(1280, 1024 - 30);
        QTRY_VERIFY(content->height() > before.height() && content->width() > before.width());
        const QWidget *area = frame->parentWidget();
        QCOMPARE(frame->geometry().right(), area->width() - 1);
        QCOMPARE(frame->height(), area->height());
        QTRY_VERIFY(!scrolls());
        // Maximised inside the main window, the content fills the frame.
        frame->showMaximized();
        QTRY_COMPARE(frame->size(), area->size());
        QVERIFY(content->width() > frame->width() * 9 / 10 && content->height() > frame->height() * 8 / 10);
    }

    // Tab goes round every field of a screen and Backtab back the same way,
    // through the number fields too.
    void tabGoesRoundTheScreen_data()
    {
        QTest::addColumn<int>("screen");
        using S = app::Screen;
        for (const auto &[name, id] :
             {std::pair{"commform", S::Comm}, std::pair{"general", S::General}, std::pair{"wiegand", S::Wiegand},
              std::pair{"barcode", S::Barcode}, std::pair{"utilities", S::Utilities}})
            QTest::newRow(name) << int(id);
    }

    void tabGoesRoundTheScreen()
    {
        AppRig rig;
        auto &main = rig.app.mainWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        const auto id = static_cast<app::Screen>(FETCHED(int, screen));
        main.showScreen(id);
        QWidget *content = main.screen(id);
        QList<QLineEdit *> fields;
        for (QLineEdit *field : content->findChildren<QLineEdit *>())
            if (field->isVisibleTo(content) && field->isEnabled() && !field->focusProxy())
                fields << field;
        QVERIFY(!fields.isEmpty());
        const QWidgetList forward = tabChain(fields.constFirst(), Qt::Key_Tab);
        for (QLineEdit *field : fields)
            QVERIFY2(forward.contains(field), qPrintable(field->objectName()));
        QWidgetList backward = tabChain(fields.constFirst(), Qt::Key_Backtab);
        std::reverse(backward.begin() + 1, backward.end());
        QCOMPARE(backward, forward);
    }

    // Each action and its key, sent to the widget with the focus: the menu's
    // entries from anywhere in the window, a screen's own while the focus is
    // on that screen, Enter in the address and port fields; in the terminal
    // the keys are the controller's (F6 alone leads back to the menu).
    void keysReachTheirActions_data()
    {
        // Where the focus is, the keys, the action (screen.control; menu.control
        // for an entry), and "no" where the keys must do nothing.
        QTest::addColumn<QStringList>("row");
        for (const char *row :
             {"general.Text1(2) Ctrl+1 menu.Label3", "general.Text1(2) Ctrl+2 menu.Label1",
              "general.Text1(2) Ctrl+3 menu.Label4", "general.Text1(2) Ctrl+4 menu.Configuration",
              "general.Text1(2) Ctrl+5 menu.ProgramController", "general.Text1(2) Ctrl+6 menu.Utilities",
              "general.Text1(2) Ctrl+7 menu.BootloaderExt", "general.Text1(2) Ctrl+8 menu.Fleet",
              "general.Text1(2) Ctrl+O menu.OpenSettings", "general.Text1(2) Ctrl+S menu.SaveSettings",
              "commform.Text1 Return commform.Label10", "commform.Text3 Return commform.Label10",
              "commform.Option2 Ctrl+Return commform.Label10", "commform.Text3 Ctrl+D commform.Label7",
              "flashdl.Label8 Ctrl+F flashdl.Label4", "flashdl.Label4 Ctrl+Return flashdl.Label8",
              "flashboot2.Label4 Ctrl+Return flashboot2.Label8", "pgmform.recordRuns Ctrl+Return pgmform.Command1",
              "utilities.Text2 Ctrl+I utilities.Label1(0)", "utilities.Text2 Ctrl+T utilities.Label1(6)",
              "utilities.Text2 Ctrl+M utilities.Label1(7)",
              // A screen's keys work on that screen only.
              "commform.Text1 Ctrl+I utilities.Label1(0) no", "termmode.pop1 Ctrl+1 menu.Label3 no"})
            QTest::newRow(row) << QString::fromLatin1(row).split(QLatin1Char(' '));
    }

    void keysReachTheirActions()
    {
        QFETCH(QStringList, row);
        AppRig rig;
        auto &main = rig.app.mainWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        const auto control = [&](const QString &where) -> QWidget * {
            const QString screen = where.section(QLatin1Char('.'), 0, 0);
            const QString name = where.section(QLatin1Char('.'), 1);
            if (screen == QLatin1String("menu"))
                return rig.control(name);
            main.showScreen(static_cast<app::Screen>(std::ranges::find(kScreenNames, screen) - kScreenNames));
            return rig.frame(screen)->widget()->findChild<QWidget *>(name);
        };
        QSignalSpy acted(control(row.at(2)), SIGNAL(clicked()));
        control(row.at(0))->setFocus();
        const QKeyCombination keys = QKeySequence::fromString(row.at(1))[0];
        QTest::keyClick(QApplication::focusWidget(), keys.key(), keys.keyboardModifiers());
        QCOMPARE(acted.count(), row.size() > 3 ? 0 : 1);
    }

    void flashDeviceRules_data()
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

    void flashDeviceRules()
    {
        QFETCH(int, baud);
        QFETCH(bool, opens);
        for (const bool boot2 : {false, true}) {
            AppRig rig;
            rig.app.comm().baud = FETCHED(int, openedAt);
            rig.connect(FETCHED(bool, tcp));
            rig.app.comm().baud = baud;
            // The last attempt's full bar does not greet a new one.
            auto *bar = rig.app.mainWindow()
                            .screen(boot2 ? app::Screen::BootloaderExt : app::Screen::FlashDownload)
                            ->findChild<QProgressBar *>(QStringLiteral("progress"));
            bar->setValue(bar->maximum());
            boot2 ? rig.menu().doboot2() : rig.menu().flashDevice();
            QCOMPARE(bar->value() == 0, opens);
            QVERIFY(rig.app.state().terminalStop);
            QCOMPARE(rig.visible(boot2 ? "flashboot2" : "flashdl"), opens);
            QCOMPARE(rig.ui.messages.isEmpty(), opens);
            if (!opens)
                QCOMPARE(rig.ui.messages.constFirst(),
                         QStringLiteral("Controller must be programmed to 9600 baud before reflashing"));
            QCOMPARE(rig.colour("Label4"), opens ? app::kYellow : app::kWhite);
        }
    }

    void addedEntriesStopTheTerminal_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("screen");
        // Each entry and the screen it shows.
        for (const char *row : {"Label3 commform", "Configuration general", "wiegand wiegand", "barcode barcode",
                                "comm430 comm430", "ProgramController pgmform", "Utilities utilities", "Fleet fleet"}) {
            const QStringList pair = QString::fromLatin1(row).split(QLatin1Char(' '));
            QTest::newRow(row) << pair.at(0) << pair.at(1);
        }
    }

    void addedEntriesStopTheTerminal()
    {
        AppRig rig;
        auto *label = rig.control(FETCHED(QString, entry));
        QVERIFY(label);
        QTest::mouseClick(label, Qt::LeftButton);
        QVERIFY(rig.app.state().terminalStop);
        QVERIFY(rig.visible(FETCHED(QString, screen)));
        QCOMPARE(label->textColor(), app::kYellow);
    }

    // One look for every clickable caption outside the command menu; headings
    // that only answer a click with a wake-up look like text.
    void actionCaptionsLookAlike()
    {
        using S = app::Screen;
        // Disconnect, Clear Screen, Reset Controller, Get Firmware
        // Identification, Start Flash Download, Select File to Download; a heading.
        const std::tuple<S, const char *, bool> captions[] = {
            {S::Comm, "Label7", true},         {S::Terminal, "Label17", true},     {S::Program, "Command2", true},
            {S::Utilities, "Label1(0)", true}, {S::FlashDownload, "Label8", true}, {S::BootloaderExt, "Label4", true},
            {S::Utilities, "Label1(8)", false}};
        AppRig rig;
        for (const auto &[id, control, action] : captions) {
            rig.app.mainWindow().showScreen(id);
            auto *label = rig.app.mainWindow().screen(id)->findChild<core::LabelButton *>(QLatin1String(control));
            QVERIFY2(label, control);
            QCOMPARE(label->textColor() == core::kActionColour, action);
            QCOMPARE(label->cursor().shape(), action ? Qt::PointingHandCursor : Qt::ArrowCursor);
            QCOMPARE(bool(label->focusPolicy() & Qt::TabFocus), action);
            if (!action)
                continue;
            label->setFocus();
            QTRY_VERIFY(label->font().underline());
        }
    }

    // Open and Save Settings change every settings screen at once and the status
    // line follows; a file with a bad line changes nothing and says where.
    void settingsProfiles()
    {
        AppRig rig;
        QTemporaryDir dir;
        QVERIFY(testing::writeFile(dir.filePath(QStringLiteral("site.tfp")),
                                   "# tarnic-profile 1\ngeneral.max_id_size = 20\nbarcode.priority = large\n"));
        QVERIFY(testing::writeFile(dir.filePath(QStringLiteral("bad.tfp")),
                                   "# tarnic-profile 1\ngeneral.max_id_size = 12\ngeneral.beep\n"));
        auto *status = rig.app.mainWindow().findChild<core::ElidedLabel *>(QStringLiteral("profileStatus"));
        auto *maxIdSize =
            rig.app.mainWindow().screen(app::Screen::General)->findChild<QLineEdit *>(QStringLiteral("Text1(2)"));
        auto *large =
            rig.app.mainWindow().screen(app::Screen::Barcode)->findChild<QRadioButton *>(QStringLiteral("Option1(1)"));
        QCOMPARE(status->fullText(), QStringLiteral("Settings profile: none"));
        QCOMPARE(maxIdSize->text(), QStringLiteral("18"));

        rig.ui.nextPath = dir.filePath(QStringLiteral("site.tfp"));
        rig.click(QStringLiteral("OpenSettings"));
        QCOMPARE(rig.ui.lastFilter.filter, QStringLiteral("Settings profiles (*.tfp)"));
        QCOMPARE(maxIdSize->text(), QStringLiteral("20"));
        QVERIFY(large->isChecked());
        QCOMPARE(status->fullText(), QStringLiteral("Settings profile: site.tfp"));
        QTest::keyClick(maxIdSize, Qt::Key_Backspace);
        QCOMPARE(status->fullText(), QStringLiteral("Settings profile: site.tfp, changed"));

        // Opening over changes asks first: Cancel opens nothing, Discard goes
        // on (here to a file that is refused whole).
        using U = core::MessageBox::Unsaved;
        rig.ui.nextPath = dir.filePath(QStringLiteral("bad.tfp"));
        rig.ui.unsavedAnswers = {U::Cancel, U::Discard};
        rig.click(QStringLiteral("OpenSettings"));
        QVERIFY(rig.ui.messages.isEmpty());
        rig.click(QStringLiteral("OpenSettings"));
        QCOMPARE(rig.ui.questions, QStringList(2, config::kUnsavedQuestion));
        QCOMPARE(rig.ui.messages, QStringList{dir.filePath(QStringLiteral("bad.tfp:3: not a \"key = value\" line"))});
        QCOMPARE(maxIdSize->text(), QStringLiteral("2"));
        QCOMPARE(rig.app.settings().general.Text1[2], QStringLiteral("2"));

        rig.ui.nextPath = dir.filePath(QStringLiteral("saved.tfp"));
        rig.click(QStringLiteral("SaveSettings"));
        QCOMPARE(status->fullText(), QStringLiteral("Settings profile: saved.tfp"));
        QVERIFY(testing::readFile(*rig.ui.nextPath).contains("\ngeneral.max_id_size = 2\nbarcode.priority = large\n"));
        // Save answered: the changes are saved, then the file opened (here the same).
        QTest::keyClick(maxIdSize, Qt::Key_5);
        rig.ui.unsavedAnswers = {U::Save};
        rig.click(QStringLiteral("OpenSettings"));
        QVERIFY(testing::readFile(*rig.ui.nextPath).contains("\ngeneral.max_id_size = 25\n"));
        QCOMPARE(status->fullText(), QStringLiteral("Settings profile: saved.tfp"));
    }

    // Closing the main window during a wait (a 5-second reply wait, a TCP
    // connect, a loopback test's echo wait) ends it at once and frees the link.
    void closingEndsAWaitAtOnce_data()
    {
        QTest::addColumn<int>("closeAtMs"); // named by the wait
        QTest::newRow("reply") << 100;
        QTest::newRow("tcp connect") << 100;
        // Past the 2-second settling pause, within the first echo wait.
        QTest::newRow("loopback test") << 2500;
    }

    void closingEndsAWaitAtOnce()
    {
        const QLatin1String wait(QTest::currentDataTag());
        QFETCH(int, closeAtMs);
        AppRig rig;
        rig.tcp.acceptAfter.reset();
        if (wait != QLatin1String("tcp connect"))
            rig.connect();
        rig.waiter.after(wire::Ms(closeAtMs), [&] { rig.app.mainWindow().close(); });
        const auto start = rig.waiter.now();
        if (wait == QLatin1String("reply")) {
            QVERIFY(rig.app.link().ReadReplyLine().timedOut);
        } else if (wait == QLatin1String("tcp connect")) {
            rig.app.comm().mode = wire::CommSettings::Mode::Tcp;
            rig.app.link().ConnectLink();
        } else {
            QTest::keyClick(&rig.menu(), Qt::Key_Escape);
            auto *loopback = rig.app.mainWindow().screen(app::Screen::Loopback);
            QTest::mouseClick(loopback->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
        }
        QCOMPARE(rig.waiter.now() - start, wire::Ms(closeAtMs));
        QVERIFY(!rig.serial.isOpen());
        QCOMPARE(rig.app.link().statusCaption(), QStringLiteral("Disconnected"));
        QVERIFY(rig.ui.messages.isEmpty());
    }

    // The program records what its screens run on the controller, unless the
    // menu's switch is cleared (remembered for the next start); a journal
    // that cannot be written is our line on the screen, and the work goes on.
    void journalFromTheScreens_data()
    {
        QTest::addColumn<QString>("journal"); // "file", "off" or "folder"
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("records");
        QTest::addColumn<QString>("note"); // a pattern for the screen's journal line
        const QStringList version{"started version", "ended version ok"};
        QTest::newRow("version") << "file"
                                 << "version" << version << QString();
        QTest::newRow("version, journal off") << "off"
                                              << "version" << QStringList() << QString();
        QTest::newRow("version, journal a folder")
            << "folder"
            << "version" << QStringList() << "warning: .* is a folder; the work goes on unrecorded";
        QTest::newRow("terminal") << "file"
                                  << "terminal" << QStringList{"started terminal", "ended terminal ok"} << QString();
        QTest::newRow("loopback, window closed")
            << "file"
            << "loopback" << QStringList{"started loopback", "ended loopback interrupted"} << QString();
    }

    void journalFromTheScreens()
    {
        QFETCH(QString, journal);
        QFETCH(QString, action);
        const testing::TestJournal file;
        if (journal == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(file.path));
        AppRig rig;
        QCheckBox &journalSwitch = rig.menu().journalSwitch();
        QVERIFY(journalSwitch.isChecked());
        if (journal == QLatin1String("off")) {
            journalSwitch.click();
            QVERIFY(!AppRig().menu().journalSwitch().isChecked());
        }
        rig.connect();
        rig.serial.stream.onWrite = [&rig](const QByteArray &bytes) {
            if (bytes == "V\r")
                rig.serial.stream.deliver("5200 V 02.14\r", 5ms);
        };
        QWidget *screen = nullptr;
        if (action == QLatin1String("version")) {
            rig.click(QStringLiteral("Utilities"));
            screen = rig.app.mainWindow().screen(app::Screen::Utilities);
            QTest::mouseClick(screen->findChild<QLabel *>(QStringLiteral("Label1(0)")), Qt::LeftButton);
            QCOMPARE(screen->findChild<QLineEdit *>(QStringLiteral("Text1(0)"))->text(),
                     QStringLiteral("5200 V 02.14"));
        } else if (action == QLatin1String("terminal")) {
            screen = rig.app.mainWindow().screen(app::Screen::Terminal);
            rig.waiter.after(100ms, [&rig] { rig.click(QStringLiteral("Label3")); });
            rig.click(QStringLiteral("Label1"));
        } else {
            QTest::keyClick(&rig.menu(), Qt::Key_Escape);
            screen = rig.app.mainWindow().screen(app::Screen::Loopback);
            rig.waiter.after(2500ms, [&rig] { rig.app.mainWindow().close(); });
            QTest::mouseClick(screen->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
        }
        QCOMPARE(file.brief(), FETCHED(QStringList, records));
        const QString line = screen->findChild<QLabel *>(QStringLiteral("journalNote"))->text();
        QVERIFY2(QRegularExpression(u'^' + FETCHED(QString, note) + u'$').match(line).hasMatch(), qPrintable(line));
        QVERIFY(rig.ui.messages.isEmpty());
        journalSwitch.setChecked(true);
    }

    // Enter on a question must not take the destructive answer.
    void questionsDefaultToNo()
    {
        core::QtMessageBox box(nullptr, [] { return false; });
        QTimer::singleShot(0, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Return); });
        QVERIFY(!box.ask(QStringLiteral("Clear everything?")));
    }

    void dialogsRememberTheFolderPerKind()
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
        // A second chooser is a later run: each kind opens where it was last chosen.
        for (int run = 0; run < 2; ++run) {
            core::QtFileChooser chooser(nullptr);
            answerWith(image);
            QCOMPARE(chooser.openFile(QStringLiteral("Image"), images), std::optional<QString>(image));
            answerWith(m_dir.filePath(QStringLiteral("lists/up.txt")));
            QVERIFY(chooser.saveFile(QStringLiteral("List"), lists, QStringLiteral("up.txt")));
        }
        QCOMPARE(openedIn.mid(2),
                 QStringList({m_dir.filePath(QStringLiteral("images")), m_dir.filePath(QStringLiteral("lists"))}));
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
