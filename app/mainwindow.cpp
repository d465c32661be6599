#include "app/mainwindow.h"

#include "app/about.h"
#include "app/commandmenu.h"
#include "config/screens/barcode.h"
#include "config/screens/comm430.h"
#include "config/screens/general.h"
#include "config/screens/pgmform.h"
#include "config/screens/wiegand.h"
#include "core/widgets/twips.h"
#include "flash/screens/flashboot2.h"
#include "flash/screens/flashdl.h"
#include "link/screens/commform.h"
#include "loopback/screens/loopback.h"
#include "terminal/screens/termmode.h"
#include "utilities/screens/utilities.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>

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

void MainWindow::createScreens(core::Services &services)
{
    m_menu = new CommandMenu(services, *this);
    m_menuFrame = m_mdi->addSubWindow(m_menu, Qt::FramelessWindowHint);
    m_menuFrame->setGeometry(0, 0, core::twipsToPixelsX(this, kMenuWidthTwips), m_mdi->height());

    auto *comm = new wire::CommForm(services);
    addScreen(comm);
    m_terminal = new terminal::TermMode(services);
    addScreen(m_terminal);
    addScreen(new config::GeneralScreen(services));
    addScreen(new config::WiegandScreen(services));
    addScreen(new config::BarcodeScreen(services));
    addScreen(new config::Comm430Screen(services));
    addScreen(new config::PgmForm(services));
    addScreen(new utilities::UtilitiesScreen(services));
    addScreen(new flash::FlashDl(services));
    addScreen(new flash::FlashBoot2(services));
    addScreen(new loopback::LoopbackScreen(services));
}

void MainWindow::addScreen(QWidget *screen)
{
    auto *frame = m_mdi->addSubWindow(screen);
    frame->setObjectName(screen->objectName() + QStringLiteral("Frame"));
    // Closing a screen hides it; it keeps its contents for the whole run.
    frame->setAttribute(Qt::WA_DeleteOnClose, false);
    frame->hide();
    m_frames.insert(screen->objectName(), frame);
}

void MainWindow::PlaceChildWindow(QMdiSubWindow *screen)
{
    const int menuTwips = core::pixelsToTwipsX(this, m_menuFrame->width());
    const int left = core::twipsToPixelsX(this, menuTwips + 1);
    screen->setGeometry(left, 0, m_mdi->width() - left, m_mdi->height());
}

QWidget *MainWindow::screen(const QString &name) const
{
    auto *f = frame(name);
    return f ? f->widget() : nullptr;
}

QMdiSubWindow *MainWindow::frame(const QString &name) const { return m_frames.value(name); }

void MainWindow::showScreen(const QString &name)
{
    QMdiSubWindow *f = frame(name);
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
    showScreen(QStringLiteral("termmode"));
    m_terminal->enter();
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (m_menuFrame)
        m_menuFrame->resize(m_menuFrame->width(), m_mdi->height());
}

bool MainWindow::terminalRunning() const { return m_terminal->session().running(); }

void MainWindow::closeEvent(QCloseEvent *event)
{
    Q_EMIT closing();
    event->accept();
}

} // namespace app
