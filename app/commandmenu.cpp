#include "app/commandmenu.h"

#include "app/mainwindow.h"
#include "core/widgets/labelbutton.h"
#include "flash/download.h"
#include "link/link.h"

#include <QKeyEvent>
#include <QVBoxLayout>

namespace app {

CommandMenu::CommandMenu(core::Services &services, MainWindow &main, QWidget *parent)
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
    auto add = [&](const char *control, const char *caption, void (CommandMenu::*action)(), int indent = 0) {
        auto *label = new core::LabelButton(QString::fromLatin1(caption), this);
        label->setObjectName(QString::fromLatin1(control));
        label->setFont(bold);
        label->setIndent(indent);
        label->setTextColor(kWhite);
        layout->addWidget(label);
        m_entries.append(label);
        if (action)
            connect(label, &core::LabelButton::clicked, this, action);
        return label;
    };
    add("Label3", "Communications", &CommandMenu::communications);
    add("Label1", "Terminal Mode", &CommandMenu::terminalMode);
    add("Label4", "Flash Device", &CommandMenu::flashDevice);
    layout->addSpacing(12);
    // Entries for the tools the original strip never offered.
    add("Configuration", "Configuration", nullptr);
    struct Sub {
        const char *control;
        const char *caption;
    };
    for (const Sub s : {Sub{"general", "General"}, Sub{"wiegand", "Wiegand"}, Sub{"barcode", "Barcode"},
                        Sub{"comm430", "Comm 430"}}) {
        auto *label = add(s.control, s.caption, nullptr, 12);
        const QString screen = QString::fromLatin1(s.control);
        connect(label, &core::LabelButton::clicked, this, [this, screen] { configuration(screen); });
    }
    connect(entry(QStringLiteral("Configuration")), &core::LabelButton::clicked, this,
            [this] { configuration(QStringLiteral("general")); });
    add("ProgramController", "Program Controller", &CommandMenu::programController);
    add("Utilities", "Utilities", &CommandMenu::utilities);
    add("BootloaderExt", "Bootloader Ext", &CommandMenu::doboot2);
    layout->addSpacing(12);

    m_status = new core::LabelButton(m_services.link.statusCaption(), this);
    m_status->setObjectName(QStringLiteral("Label20"));
    m_status->setFont(bold);
    m_status->setFocusPolicy(Qt::NoFocus);
    m_status->setCursor(Qt::ArrowCursor);
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
    highlight(entry(QStringLiteral("Label3")));
}

core::LabelButton *CommandMenu::entry(const QString &control) const
{
    if (control == QLatin1String("Label20"))
        return m_status;
    for (auto *e : m_entries)
        if (e->objectName() == control)
            return e;
    return nullptr;
}

void CommandMenu::all_white()
{
    for (auto *e : m_entries)
        e->setTextColor(kWhite);
}

void CommandMenu::highlight(core::LabelButton *e)
{
    all_white();
    if (e)
        e->setTextColor(kYellow);
}

void CommandMenu::blink() { m_status->setTextColor(m_status->textColor() == kYellow ? kLightGreen : kYellow); }

void CommandMenu::communications()
{
    m_services.state.terminalStop = true;
    highlight(entry(QStringLiteral("Label3")));
    m_main.showScreen(QStringLiteral("commform"));
}

void CommandMenu::terminalMode()
{
    if (!m_services.link.isConnected())
        return;
    // A terminal already running is only brought to the front; another
    // operation holding the link refuses the entry.
    if (m_main.terminalRunning()) {
        highlight(entry(QStringLiteral("Label1")));
        m_main.showScreen(QStringLiteral("termmode"));
        return;
    }
    if (m_services.link.busy())
        return;
    highlight(entry(QStringLiteral("Label1")));
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
    highlight(entry(QStringLiteral("Label4")));
    return true;
}

void CommandMenu::flashDevice()
{
    if (downloadAllowed())
        m_main.showScreen(QStringLiteral("flashdl"));
}

void CommandMenu::doboot2()
{
    if (downloadAllowed())
        m_main.showScreen(QStringLiteral("flashboot2"));
}

void CommandMenu::configuration(const QString &screen)
{
    m_services.state.terminalStop = true;
    highlight(entry(screen));
    entry(QStringLiteral("Configuration"))->setTextColor(kYellow);
    m_main.showScreen(screen);
}

void CommandMenu::programController()
{
    m_services.state.terminalStop = true;
    highlight(entry(QStringLiteral("ProgramController")));
    m_main.showScreen(QStringLiteral("pgmform"));
}

void CommandMenu::utilities()
{
    m_services.state.terminalStop = true;
    highlight(entry(QStringLiteral("Utilities")));
    m_main.showScreen(QStringLiteral("utilities"));
}

void CommandMenu::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        if (m_services.link.isConnected()) {
            // The loopback test needs the link to itself: end a running terminal.
            m_services.state.terminalStop = true;
            m_main.showScreen(QStringLiteral("loopback"));
        }
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace app
