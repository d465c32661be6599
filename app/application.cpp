#include "app/application.h"

#include "app/commandmenu.h"
#include "app/defaults.h"
#include "app/journalsetting.h"
#include "core/widgets/labelbutton.h"

#include <QApplication>
#include <QIcon>

namespace app {

Application::Application(const Platform &platform) : m_waiter(platform.waiter), m_journal(journalOn())
{
    // Every window and screen frame shows the program's icon.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/tarnic-flash-utility.png")));
    // 1. The main window (not shown until its first screen is).
    m_main = std::make_unique<MainWindow>();
    core::MessageBox *messages = platform.messages;
    if (!messages) {
        auto &waiter = m_waiter;
        m_qtMessages = std::make_unique<core::QtMessageBox>(m_main.get(), [&waiter] { return waiter.quitting(); });
        messages = m_qtMessages.get();
    }
    core::FileChooser *files = platform.files;
    if (!files) {
        m_qtFiles = std::make_unique<core::QtFileChooser>(m_main.get());
        files = m_qtFiles.get();
    }
    m_link = std::make_unique<wire::Link>(m_comm, m_waiter, *messages, platform.serialPort, platform.tcpClient);
    m_services = std::make_unique<screens::Services>(
        screens::Services{m_state, *m_link, m_waiter, m_comm, m_settings, m_utilities, *messages, *files, m_journal});

    // 2. Every default; the screens are created hidden and show the models.
    ApplyDefaultSettings(m_comm, m_utilities, m_settings);
    m_main->createScreens(*m_services);

    // 3. Flags (link mode 2 is already the selection the defaults made).
    m_state.terminalTcp = false;
    m_state.terminalStop = false;

    // 4. The status label starts yellow.
    m_main->commandMenu().status().setTextColor(kYellow);

    // 5. The digit-width table.
    m_state.digitWidth = core::digitWidthData();

    // 6, 7. The command menu, and the communications screen in front.
    m_main->show();
    m_main->showScreen(Screen::Comm);

    QObject::connect(m_main.get(), &MainWindow::closing, m_main.get(), [this] { quit(); });
}

Application::~Application() { m_link->closeAll(); }

// Closing the main window ends the program at once: every wait returns, the
// running operation unwinds without messages, and the link is released.
void Application::quit()
{
    m_waiter.requestQuit();
    m_link->closeAll();
}

} // namespace app
