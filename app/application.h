#pragma once

#include "app/mainwindow.h"
#include "config/settings.h"
#include "core/appstate.h"
#include "core/widgets/qtsinks.h"
#include "journal/desk.h"
#include "link/byteio.h"
#include "link/commsettings.h"
#include "link/link.h"
#include "link/waiter.h"
#include "utilities/utilitiessettings.h"

#include <memory>

namespace app {

// The application: its state, models, link and main window. Start-up runs in
// the constructor, in the order the program has always followed.
class Application {
public:
    // What the application runs on. Tests put fakes and recorders here; left
    // empty, the message box and file chooser are the real dialogs.
    struct Platform {
        wire::Waiter &waiter;
        wire::SerialIo &serialPort;
        wire::TcpIo &tcpClient;
        core::MessageBox *messages = nullptr;
        core::FileChooser *files = nullptr;
    };
    explicit Application(const Platform &platform);
    ~Application();

    MainWindow &mainWindow() { return *m_main; }
    core::AppState &state() { return m_state; }
    wire::CommSettings &comm() { return m_comm; }
    config::Settings &settings() { return m_settings; }
    utilities::UtilitiesSettings &utilitiesSettings() { return m_utilities; }
    wire::Link &link() { return *m_link; }
    screens::Services &services() { return *m_services; }
    journal::Desk &journal() { return m_journal; }

private:
    void quit();

    wire::Waiter &m_waiter;
    core::AppState m_state;
    wire::CommSettings m_comm;
    config::Settings m_settings;
    utilities::UtilitiesSettings m_utilities;
    std::unique_ptr<MainWindow> m_main;
    std::unique_ptr<core::QtMessageBox> m_qtMessages;
    std::unique_ptr<core::QtFileChooser> m_qtFiles;
    std::unique_ptr<wire::Link> m_link;
    // Opened before any screen can run an operation, closed after the last.
    journal::Desk m_journal;
    std::unique_ptr<screens::Services> m_services;
};

} // namespace app
