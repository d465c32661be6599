#pragma once

#include "core/services.h"

#include <QTimer>
#include <QWidget>

namespace core {
class LabelButton;
}

namespace app {

class MainWindow;

// `commandmenu`: the teal strip down the left edge with the menu entries and
// the blinking connection status.
class CommandMenu : public QWidget {
    Q_OBJECT
public:
    CommandMenu(core::Services &services, MainWindow &main, QWidget *parent = nullptr);

    // Entries by control name (Label3, Label1, Label4, Label20, and the added
    // entries), for the main window and tests.
    core::LabelButton *entry(const QString &control) const;

    void all_white();
    void highlight(core::LabelButton *entry);

    // The menu actions, as a click runs them.
    void communications();
    void terminalMode();
    void flashDevice();
    void doboot2();
    void configuration(const QString &screen);
    void programController();
    void utilities();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The rules "Flash Device" and `doboot2` share; true when the download
    // screen may open.
    bool downloadAllowed();
    void blink();

    core::Services &m_services;
    MainWindow &m_main;
    QList<core::LabelButton *> m_entries;
    core::LabelButton *m_status;
    QTimer *m_blink; // Timer2
};

inline const QColor kWhite{255, 255, 255};
inline const QColor kYellow{255, 255, 0};
inline const QColor kLightGreen{0, 255, 0};
inline const QColor kTeal{0, 128, 128};

} // namespace app
