#pragma once

#include "app/screen.h"
#include "screens/services.h"

#include <QCheckBox>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <array>

namespace core {
class ElidedLabel;
class LabelButton;
} // namespace core

namespace app {

class MainWindow;

// `commandmenu`: the teal strip down the left edge with the menu entries and
// the blinking connection status.
class CommandMenu : public QWidget {
    Q_OBJECT
public:
    // The entries top to bottom (control names Label3, Label1, Label4, then
    // the added entries under their own names).
    enum class Entry {
        Communications,
        TerminalMode,
        FlashDevice,
        Configuration,
        General,
        Wiegand,
        Barcode,
        Comm430,
        OpenSettings,
        SaveSettings,
        ProgramController,
        Utilities,
        BootloaderExt,
        Fleet,
    };
    static constexpr std::size_t kEntryCount = static_cast<std::size_t>(Entry::Fleet) + 1;

    CommandMenu(screens::Services &services, MainWindow &main, QWidget *parent = nullptr);

    core::LabelButton &entry(Entry e) const;
    // The blinking connection status under the entries (Label20).
    core::LabelButton &status() const { return *m_status; }
    // Which settings profile the screens hold, under "Save Settings…".
    void setProfileStatus(const QString &text);
    // Why the last entry did nothing, under the connection status; the next
    // entry clears it.
    const QLabel &note() const { return *m_note; }
    // "Record in journal", at the foot of the menu: the journal's off switch.
    QCheckBox &journalSwitch() const { return *m_journalSwitch; }
    // The keyboard comes to the lit entry.
    void focusCurrent();

    void all_white();
    void highlight(Entry e);

    // The menu actions, as a click runs them.
    void communications();
    void terminalMode();
    void flashDevice();
    void doboot2();
    // A configuration page: its entry lights up under "Configuration".
    void configuration(Entry page, Screen screen);
    void programController();
    void utilities();
    void fleet();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The rules "Flash Device" and `doboot2` share; true when the download
    // screen may open.
    bool downloadAllowed();
    // False, and says so in the note, while the link is closed.
    bool connected();
    // The arrow keys: the focus to the entry above or below, round the ends.
    void moveFocus(int step);
    // Shows a download screen ready for a new attempt.
    void openDownload(Screen screen);
    void blink();

    screens::Services &m_services;
    MainWindow &m_main;
    std::array<core::LabelButton *, kEntryCount> m_entries{};
    Entry m_current = Entry::Communications;
    core::LabelButton *m_status;
    core::ElidedLabel *m_profileStatus;
    QLabel *m_note;
    QCheckBox *m_journalSwitch;
    QTimer *m_blink; // Timer2
};

inline const QColor kWhite{255, 255, 255};
inline const QColor kYellow{255, 255, 0};
inline const QColor kLightGreen{0, 255, 0};
inline const QColor kTeal{0, 128, 128};

} // namespace app
