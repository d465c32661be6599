#include "app/mainwindow.h"

#include "app/about.h"
#include "app/commandmenu.h"
#include "config/profilesession.h"
#include "config/screens/barcode.h"
#include "config/screens/binding.h"
#include "config/screens/comm430.h"
#include "config/screens/general.h"
#include "config/screens/pgmform.h"
#include "config/screens/wiegand.h"
#include "core/widgets/twips.h"
#include "flash/screens/flashboot2.h"
#include "flash/screens/flashdl.h"
#include "fleet/screens/fleetscreen.h"
#include "link/screens/commform.h"
#include "loopback/screens/loopback.h"
#include "terminal/screens/termmode.h"
#include "utilities/screens/utilities.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QShortcut>

namespace app {

MainWindow::MainWindow()
{
    setObjectName(QStringLiteral("qlmmain"));
    setWindowTitle(kMainTitle);
    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("mdi"));
    setCentralWidget(m_mdi);
    m_about = new About(this);
    auto *ab = menuBar()->addAction(QStringLiteral("About          "));
    ab->setObjectName(QStringLiteral("ab"));
    connect(ab, &QAction::triggered, this, [this] { m_about->showCentred(*this); });
    resize(core::twipsToPixelsX(this, kMainWidthTwips), core::twipsToPixelsY(this, kMainHeightTwips));
}

MainWindow::~MainWindow() = default;

void MainWindow::createScreens(screens::Services &services)
{
    m_menu = new CommandMenu(services, *this);
    m_menuFrame = m_mdi->addSubWindow(m_menu, Qt::FramelessWindowHint);
    m_menuFrame->setGeometry(0, 0, core::twipsToPixelsX(this, kMenuWidthTwips), m_mdi->height());
    // F6 brings the keyboard back to the menu from any screen, the terminal
    // included (F6 is no byte for the controller).
    auto *toMenu = new QShortcut(QKeySequence(Qt::Key_F6), this);
    connect(toMenu, &QShortcut::activated, m_menu, &CommandMenu::focusCurrent);

    addScreen(Screen::Comm, new wire::CommForm(services));
    m_terminal = new terminal::TermMode(services);
    addScreen(Screen::Terminal, m_terminal);
    addScreen(Screen::General, new config::GeneralScreen(services));
    addScreen(Screen::Wiegand, new config::WiegandScreen(services));
    addScreen(Screen::Barcode, new config::BarcodeScreen(services));
    addScreen(Screen::Comm430, new config::Comm430Screen(services));
    addScreen(Screen::Program, new config::PgmForm(services));
    addScreen(Screen::Utilities, new utilities::UtilitiesScreen(services));
    addScreen(Screen::FlashDownload, new flash::FlashDl(services));
    addScreen(Screen::BootloaderExt, new flash::FlashBoot2(services));
    addScreen(Screen::Loopback, new loopback::LoopbackScreen(services));
    addScreen(Screen::Fleet, new fleet::FleetScreen(services.files, services.messages, [&journal = services.journal] {
                  return journal.on();
              }));

    m_profiles = std::make_unique<config::ProfileSession>(services.settings, services.files, services.messages);
    for (auto *binder : findChildren<config::Binder *>())
        connect(binder, &config::Binder::edited, this, &MainWindow::showProfileStatus);
    showProfileStatus();
}

void MainWindow::openSettings()
{
    if (m_profiles->open())
        for (auto *binder : findChildren<config::Binder *>())
            binder->load();
    showProfileStatus();
}

void MainWindow::saveSettings()
{
    m_profiles->save();
    showProfileStatus();
}

void MainWindow::showProfileStatus() { m_menu->setProfileStatus(m_profiles->statusText()); }

void MainWindow::addScreen(Screen id, QWidget *screen)
{
    auto *frame = m_mdi->addSubWindow(screen);
    frame->setObjectName(screen->objectName() + QStringLiteral("Frame"));
    // Closing a screen hides it; it keeps its contents for the whole run.
    frame->setAttribute(Qt::WA_DeleteOnClose, false);
    frame->hide();
    // Escape closes it as its close button does, and the keyboard goes back
    // to the menu. The terminal keeps Escape for the controller while it has
    // the focus.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), screen);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, [this, frame] {
        frame->close();
        m_menu->focusCurrent();
    });
    m_frames.at(static_cast<std::size_t>(id)) = frame;
}

void MainWindow::PlaceChildWindow(QMdiSubWindow *screen)
{
    const int menuTwips = core::pixelsToTwipsX(this, m_menuFrame->width());
    const int left = core::twipsToPixelsX(this, menuTwips + 1);
    screen->setGeometry(left, 0, m_mdi->width() - left, m_mdi->height());
}

QWidget *MainWindow::screen(Screen id) const
{
    auto *f = frame(id);
    return f ? f->widget() : nullptr;
}

QMdiSubWindow *MainWindow::frame(Screen id) const { return m_frames.at(static_cast<std::size_t>(id)); }

void MainWindow::showScreen(Screen id)
{
    QMdiSubWindow *f = frame(id);
    if (!f)
        return;
    if (!f->property("placed").toBool()) {
        PlaceChildWindow(f);
        f->setProperty("placed", true);
    }
    f->show();
    f->widget()->show();
    f->raise();
    m_mdi->setActiveSubWindow(f);
}

void MainWindow::enterTerminal()
{
    showScreen(Screen::Terminal);
    m_terminal->enter();
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (m_menuFrame)
        m_menuFrame->resize(m_menuFrame->width(), m_mdi->height());
    // The screens take the room the main window gives them; one the
    // technician maximised or minimised keeps that state.
    for (QMdiSubWindow *f : m_frames)
        if (f && f->property("placed").toBool() && !(f->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)))
            PlaceChildWindow(f);
}

bool MainWindow::terminalRunning() const { return m_terminal->session().running(); }

void MainWindow::closeEvent(QCloseEvent *event)
{
    Q_EMIT closing();
    event->accept();
}

} // namespace app
