#include "app/commandmenu.h"

#include "app/mainwindow.h"
#include "core/widgets/labelbutton.h"
#include "flash/download.h"
#include "flash/screens/downloadscreen.h"
#include "link/link.h"

#include <QKeyEvent>
#include <QVBoxLayout>

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

    auto *layout = new QVBoxLayout(this);
    QFont bold(QStringLiteral("Arial"));
    bold.setBold(true);
    auto add = [&](Entry e, const char *control, const char *caption, int indent = 0) {
        auto *label = new core::LabelButton(QString::fromUtf8(caption), this);
        label->setObjectName(QString::fromLatin1(control));
        label->setFont(bold);
        label->setIndent(indent);
        label->setTextColor(kWhite);
        layout->addWidget(label);
        m_entries.at(static_cast<std::size_t>(e)) = label;
        return label;
    };
    auto addAction = [&](Entry e, const char *control, const char *caption, void (CommandMenu::*action)()) {
        connect(add(e, control, caption), &core::LabelButton::clicked, this, action);
    };
    addAction(Entry::Communications, "Label3", "Communications", &CommandMenu::communications);
    addAction(Entry::TerminalMode, "Label1", "Terminal Mode", &CommandMenu::terminalMode);
    addAction(Entry::FlashDevice, "Label4", "Flash Device", &CommandMenu::flashDevice);
    layout->addSpacing(12);
    // Entries for the tools the original strip never offered.
    connect(add(Entry::Configuration, "Configuration", "Configuration"), &core::LabelButton::clicked, this,
            [this] { configuration(Entry::General, Screen::General); });
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
        connect(add(p.entry, p.control, p.caption, 12), &core::LabelButton::clicked, this,
                [this, p] { configuration(p.entry, p.screen); });
    connect(add(Entry::OpenSettings, "OpenSettings", "Open Settings…", 12), &core::LabelButton::clicked, &m_main,
            &MainWindow::openSettings);
    connect(add(Entry::SaveSettings, "SaveSettings", "Save Settings…", 12), &core::LabelButton::clicked, &m_main,
            &MainWindow::saveSettings);
    // The menu keeps it in sight whatever screen is shown, without taking
    // height from the screens.
    m_profileStatus = new QLabel(this);
    m_profileStatus->setObjectName(QStringLiteral("profileStatus"));
    m_profileStatus->setWordWrap(true);
    m_profileStatus->setIndent(12);
    QPalette white = m_profileStatus->palette();
    white.setColor(QPalette::WindowText, kWhite);
    m_profileStatus->setPalette(white);
    layout->addWidget(m_profileStatus);
    addAction(Entry::ProgramController, "ProgramController", "Program Controller", &CommandMenu::programController);
    addAction(Entry::Utilities, "Utilities", "Utilities", &CommandMenu::utilities);
    addAction(Entry::BootloaderExt, "BootloaderExt", "Bootloader Ext", &CommandMenu::doboot2);
    addAction(Entry::Fleet, "Fleet", "Fleet", &CommandMenu::fleet);
    layout->addSpacing(12);

    m_status = new core::LabelButton(m_services.link.statusCaption(), this);
    m_status->setObjectName(QStringLiteral("Label20"));
    m_status->setFont(bold);
    m_status->setQuiet();
    m_status->setTextColor(kYellow);
    layout->addWidget(m_status);
    layout->addStretch();
    connect(&m_services.link, &wire::Link::statusCaptionChanged, m_status, &QLabel::setText);

    m_blink = new QTimer(this);
    m_blink->setObjectName(QStringLiteral("Timer2"));
    m_blink->setInterval(500);
    connect(m_blink, &QTimer::timeout, this, &CommandMenu::blink);
    m_blink->start();

    all_white();
    highlight(Entry::Communications);
}

void CommandMenu::setProfileStatus(const QString &text) { m_profileStatus->setText(text); }

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
    if (!m_services.link.isConnected())
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
    if (!m_services.link.isConnected())
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
