#include "app/commandmenu.h"

#include "app/journalsetting.h"
#include "app/mainwindow.h"
#include "core/widgets/elidedlabel.h"
#include "core/widgets/labelbutton.h"
#include "flash/download.h"
#include "flash/screens/downloadscreen.h"
#include "journal/place.h"
#include "link/link.h"
#include "screens/notes.h"

#include <QKeyEvent>

#include <QVBoxLayout>
#include <algorithm>

namespace app {

CommandMenu::CommandMenu(screens::Services &services, MainWindow &main, QWidget *parent)
    : QWidget(parent), m_services(services), m_main(main)
{
    setObjectName(QStringLiteral("commandmenu"));
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, kTeal);
    setPalette(p);
    setFocusPolicy(Qt::StrongFocus);

    QPalette white = palette();
    white.setColor(QPalette::WindowText, kWhite);
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("menuNote"));
    m_note->setWordWrap(true);
    m_note->setPalette(white);

    auto *layout = new QVBoxLayout(this);
    QFont bold(QStringLiteral("Arial"));
    bold.setBold(true);
    // Each entry clears the last one's note first; keys is its shortcut,
    // working wherever the focus is in the window (except the terminal): it
    // belongs to the main window, for a shortcut of the menu's own frame would
    // work only while the menu has the focus.
    auto add = [&](Entry e, const char *control, const char *caption, const QKeySequence &keys, int indent = 0) {
        auto *label = new core::LabelButton(QString::fromUtf8(caption), this);
        label->setObjectName(QString::fromLatin1(control));
        label->setFont(bold);
        label->setIndent(indent);
        label->setTextColor(kWhite);
        if (!keys.isEmpty())
            label->setShortcut(keys, &m_main, Qt::WindowShortcut);
        connect(label, &core::LabelButton::clicked, m_note, &QLabel::clear);
        layout->addWidget(label);
        m_entries.at(static_cast<std::size_t>(e)) = label;
        return label;
    };
    auto addAction = [&](Entry e, const char *control, const char *caption, const QKeySequence &keys,
                         void (CommandMenu::*action)()) {
        connect(add(e, control, caption, keys), &core::LabelButton::clicked, this, action);
    };
    addAction(Entry::Communications, "Label3", "Communications", QKeySequence(Qt::CTRL | Qt::Key_1),
              &CommandMenu::communications);
    addAction(Entry::TerminalMode, "Label1", "Terminal Mode", QKeySequence(Qt::CTRL | Qt::Key_2),
              &CommandMenu::terminalMode);
    addAction(Entry::FlashDevice, "Label4", "Flash Device", QKeySequence(Qt::CTRL | Qt::Key_3),
              &CommandMenu::flashDevice);
    layout->addSpacing(12);
    // Entries for the tools the original strip never offered.
    connect(add(Entry::Configuration, "Configuration", "Configuration", QKeySequence(Qt::CTRL | Qt::Key_4)),
            &core::LabelButton::clicked, this, [this] { configuration(Entry::General, Screen::General); });
    struct Page {
        Entry entry;
        Screen screen;
        const char *control;
        const char *caption;
    };
    for (const Page p : {Page{Entry::General, Screen::General, "general", "General"},
                         Page{Entry::Wiegand, Screen::Wiegand, "wiegand", "Wiegand"},
                         Page{Entry::Barcode, Screen::Barcode, "barcode", "Barcode"},
                         Page{Entry::Comm430, Screen::Comm430, "comm430", "Comm 430"}})
        connect(add(p.entry, p.control, p.caption, QKeySequence(), 12), &core::LabelButton::clicked, this,
                [this, p] { configuration(p.entry, p.screen); });
    connect(add(Entry::OpenSettings, "OpenSettings", "Open Settings…", QKeySequence(Qt::CTRL | Qt::Key_O), 12),
            &core::LabelButton::clicked, &m_main, &MainWindow::openSettings);
    connect(add(Entry::SaveSettings, "SaveSettings", "Save Settings…", QKeySequence(Qt::CTRL | Qt::Key_S), 12),
            &core::LabelButton::clicked, &m_main, &MainWindow::saveSettings);
    // The menu keeps it in sight whatever screen is shown, on one line of its
    // own, without taking height from the screens or moving the entries.
    m_profileStatus = new core::ElidedLabel(this);
    m_profileStatus->setObjectName(QStringLiteral("profileStatus"));
    m_profileStatus->setIndent(12);
    m_profileStatus->setPalette(white);
    layout->addWidget(m_profileStatus);
    addAction(Entry::ProgramController, "ProgramController", "Program Controller", QKeySequence(Qt::CTRL | Qt::Key_5),
              &CommandMenu::programController);
    addAction(Entry::Utilities, "Utilities", "Utilities", QKeySequence(Qt::CTRL | Qt::Key_6), &CommandMenu::utilities);
    addAction(Entry::BootloaderExt, "BootloaderExt", "Bootloader Ext", QKeySequence(Qt::CTRL | Qt::Key_7),
              &CommandMenu::doboot2);
    addAction(Entry::Fleet, "Fleet", "Fleet", QKeySequence(Qt::CTRL | Qt::Key_8), &CommandMenu::fleet);
    layout->addSpacing(12);

    m_status = new core::LabelButton(m_services.link.statusCaption(), this);
    m_status->setObjectName(QStringLiteral("Label20"));
    m_status->setFont(bold);
    m_status->setQuiet();
    m_status->setTextColor(kYellow);
    layout->addWidget(m_status);
    layout->addWidget(m_note);
    layout->addStretch();
    // Every operation on a controller goes into the journal unless this is
    // cleared; the choice is kept for the next start.
    m_journalSwitch = new QCheckBox(QStringLiteral("Record in journal"), this);
    m_journalSwitch->setObjectName(QStringLiteral("journalSwitch"));
    m_journalSwitch->setPalette(white);
    m_journalSwitch->setChecked(m_services.journal.on());
    m_journalSwitch->setToolTip(journal::place(QString()).path);
    layout->addWidget(m_journalSwitch);
    connect(m_journalSwitch, &QCheckBox::toggled, this, [this](bool on) {
        m_services.journal.setOn(on);
        rememberJournalOn(on);
    });
    connect(&m_services.link, &wire::Link::statusCaptionChanged, m_status, &QLabel::setText);
    connect(&m_services.link, &wire::Link::statusCaptionChanged, m_note, &QLabel::clear);

    m_blink = new QTimer(this);
    m_blink->setObjectName(QStringLiteral("Timer2"));
    m_blink->setInterval(500);
    connect(m_blink, &QTimer::timeout, this, &CommandMenu::blink);
    m_blink->start();

    all_white();
    highlight(Entry::Communications);
}

void CommandMenu::setProfileStatus(const QString &text) { m_profileStatus->setFullText(text); }

void CommandMenu::focusCurrent() { entry(m_current).setFocus(Qt::ShortcutFocusReason); }

void CommandMenu::moveFocus(int step)
{
    auto *const at = std::find(m_entries.begin(), m_entries.end(), focusWidget());
    const int from = at == m_entries.end() ? static_cast<int>(m_current) : static_cast<int>(at - m_entries.begin());
    const int count = static_cast<int>(kEntryCount);
    m_entries.at(static_cast<std::size_t>((from + step + count) % count))->setFocus(Qt::TabFocusReason);
}

bool CommandMenu::connected()
{
    if (m_services.link.isConnected())
        return true;
    m_note->setText(screens::kNotConnectedNote);
    return false;
}

core::LabelButton &CommandMenu::entry(Entry e) const { return *m_entries.at(static_cast<std::size_t>(e)); }

void CommandMenu::all_white()
{
    for (auto *e : m_entries)
        e->setTextColor(kWhite);
}

void CommandMenu::highlight(Entry e)
{
    all_white();
    entry(e).setTextColor(kYellow);
    m_current = e;
}

void CommandMenu::blink() { m_status->setTextColor(m_status->textColor() == kYellow ? kLightGreen : kYellow); }

void CommandMenu::communications()
{
    m_services.state.terminalStop = true;
    highlight(Entry::Communications);
    m_main.showScreen(Screen::Comm);
}

void CommandMenu::terminalMode()
{
    if (!connected())
        return;
    // A terminal already running is only brought to the front; another
    // operation holding the link refuses the entry.
    if (m_main.terminalRunning()) {
        highlight(Entry::TerminalMode);
        m_main.showScreen(Screen::Terminal);
        return;
    }
    if (m_services.link.busy())
        return;
    highlight(Entry::TerminalMode);
    m_main.enterTerminal();
}

bool CommandMenu::downloadAllowed()
{
    m_services.state.terminalStop = true;
    if (!connected())
        return false;
    if (!flash::baudAllowsDownload(m_services.link)) {
        m_services.messages.message(flash::kBaudRuleMessage);
        return false;
    }
    highlight(Entry::FlashDevice);
    return true;
}

void CommandMenu::flashDevice() { openDownload(Screen::FlashDownload); }

void CommandMenu::doboot2() { openDownload(Screen::BootloaderExt); }

void CommandMenu::openDownload(Screen screen)
{
    if (!downloadAllowed())
        return;
    static_cast<flash::DownloadScreen *>(m_main.screen(screen))->newAttempt();
    m_main.showScreen(screen);
}

void CommandMenu::configuration(Entry page, Screen screen)
{
    m_services.state.terminalStop = true;
    highlight(page);
    entry(Entry::Configuration).setTextColor(kYellow);
    m_main.showScreen(screen);
}

void CommandMenu::programController()
{
    m_services.state.terminalStop = true;
    highlight(Entry::ProgramController);
    m_main.showScreen(Screen::Program);
}

void CommandMenu::utilities()
{
    m_services.state.terminalStop = true;
    highlight(Entry::Utilities);
    m_main.showScreen(Screen::Utilities);
}

// The fleet runs apart from the program's link: nothing to refuse here.
void CommandMenu::fleet()
{
    m_services.state.terminalStop = true;
    highlight(Entry::Fleet);
    m_main.showScreen(Screen::Fleet);
}

void CommandMenu::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
        moveFocus(event->key() == Qt::Key_Up ? -1 : 1);
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        if (m_services.link.isConnected()) {
            // The loopback test needs the link to itself: end a running terminal.
            m_services.state.terminalStop = true;
            m_main.showScreen(Screen::Loopback);
        }
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace app
