#pragma once

#include "app/screen.h"
#include "screens/services.h"

#include <QMainWindow>

#include <array>
#include <memory>

class QMdiArea;
class QMdiSubWindow;

namespace config {
class ProfileSession;
}

namespace terminal {
class TermMode;
}

namespace app {

class About;
class CommandMenu;

inline const QString kMainTitle = QStringLiteral("Tarnic         Flash Utility     V 01.00");
inline constexpr int kMainHeightTwips = 8500;
// Fits a 1024-pixel-wide screen with its frame.
inline constexpr int kMainWidthTwips = 15000;
inline constexpr int kMenuWidthTwips = 2500;

// `qlmmain`: the parent window all screens live in.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow();
    ~MainWindow() override;

    // Creates every screen once; they live, hidden, until the program ends.
    void createScreens(screens::Services &services);

    // Brings a screen to the front.
    void showScreen(Screen id);
    QWidget *screen(Screen id) const;
    QMdiSubWindow *frame(Screen id) const;
    CommandMenu &commandMenu() const { return *m_menu; }
    About &about() const { return *m_about; }
    void enterTerminal();
    bool terminalRunning() const;
    // "Open Settings…" and "Save Settings…": all four settings screens at once.
    void openSettings();
    void saveSettings();

    // Left edge = menu width + 1 twip; top 0; the rest of the main window.
    // Placed screens are placed again when the main window changes size.
    void PlaceChildWindow(QMdiSubWindow *screen);

Q_SIGNALS:
    void closing();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void addScreen(Screen id, QWidget *screen);
    void showProfileStatus();

    QMdiArea *m_mdi;
    QMdiSubWindow *m_menuFrame = nullptr;
    CommandMenu *m_menu = nullptr;
    About *m_about;
    terminal::TermMode *m_terminal = nullptr;
    std::array<QMdiSubWindow *, kScreenCount> m_frames{};
    std::unique_ptr<config::ProfileSession> m_profiles;
};

} // namespace app
