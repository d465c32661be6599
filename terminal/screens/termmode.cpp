#include "terminal/screens/termmode.h"

#include "core/widgets/labelbutton.h"
#include "screens/journalnote.h"
#include "screens/notes.h"
#include "terminal/screens/terminalview.h"

#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace terminal {

TermMode::TermMode(screens::Services &services, QWidget *parent) : QWidget(parent), m_services(services)
{
    setObjectName(QStringLiteral("termmode"));
    setWindowTitle(QStringLiteral("Terminal Mode"));

    m_status = new QLabel(QStringLiteral("STATUS"), this);
    m_status->setObjectName(QStringLiteral("Label2(0)"));
    m_statusLine = std::make_unique<core::LabelStatusLine>(m_status);
    m_session = std::make_unique<Session>(services.state, services.link, *m_statusLine);
    m_view = new TerminalView(*m_session, this);

    auto *hint = new QLabel(QStringLiteral("Hit F10  to send a NULL character"), this);
    hint->setObjectName(QStringLiteral("Label2(1)"));
    auto *clear = new core::LabelButton(QStringLiteral("Clear Screen"), this);
    clear->setObjectName(QStringLiteral("Label17"));
    connect(clear, &core::LabelButton::clicked, this, &TermMode::clearScreen);
    auto *save = new core::LabelButton(QStringLiteral("Save Session Log"), this);
    save->setObjectName(QStringLiteral("SaveLog"));
    connect(save, &core::LabelButton::clicked, this, &TermMode::saveLog);
    m_logStatus = new QLabel(this);
    m_logStatus->setObjectName(QStringLiteral("LogStatus"));
    connect(&m_saver, &LogSaver::finished, this, [this](bool ok, const QString &detail) {
        LogSnapshot unsaved = std::exchange(m_unsaved, {});
        if (ok) {
            m_logStatus->setText(QStringLiteral("Session log saved to %1").arg(detail));
            return;
        }
        const QString text = QStringLiteral("Session log not saved: %1").arg(detail);
        m_logStatus->setText(text);
        // The same bytes again, to a file of the user's choice.
        if (m_services.messages.ask(text + QStringLiteral("\nSave it to another file?")))
            saveSnapshot(std::move(unsaved));
    });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_view);
    layout->addWidget(hint);
    auto *actions = new QHBoxLayout;
    actions->addWidget(clear);
    actions->addSpacing(24);
    actions->addWidget(save);
    actions->addStretch();
    layout->addLayout(actions);
    layout->addWidget(m_logStatus);
    m_journalNote = new screens::JournalNote(this);
    layout->addWidget(m_journalNote);
    layout->addStretch();
}

TermMode::~TermMode() = default;

void TermMode::enter()
{
    m_view->setFocus();
    // Entered while another operation holds the link, it is refused at once:
    // nothing to record.
    if (m_services.link.busy()) {
        m_session->enter();
        return;
    }
    journal::Operation recorded =
        m_services.journal.begin(journal::onLink(m_services.link, QStringLiteral("terminal")), m_journalNote->note());
    switch (m_session->enter()) {
    case LoopEnd::Stopped:
        recorded.end({journal::Outcome::Ok, std::nullopt, {}, {}});
        break;
    case LoopEnd::Quitting:
        recorded.end({journal::Outcome::Interrupted, std::nullopt, screens::kProgramClosed, {}});
        break;
    default:
        recorded.end({journal::Outcome::Failed, std::nullopt, wire::kDisconnected, {}});
        break;
    }
}

void TermMode::clearScreen()
{
    m_session->clearScreen();
    m_view->setFocus();
}

void TermMode::saveLog()
{
    if (m_saver.busy()) {
        m_logStatus->setText(QStringLiteral("A session log is still being saved"));
        return;
    }
    // Taken before the dialog: the log holds what was there when asked.
    saveSnapshot(m_session->log().snapshot());
}

void TermMode::saveSnapshot(LogSnapshot snapshot)
{
    const auto path = m_services.files.saveFile(
        QStringLiteral("Save Session Log"),
        {QStringLiteral("Log Files (*.log)"), QStringLiteral("log"), QString(), QStringLiteral("logs")},
        QStringLiteral("terminal.log"));
    if (!path || path->isEmpty())
        return;
    m_logStatus->setText(QStringLiteral("Saving session log..."));
    m_unsaved = snapshot;
    m_saver.save(std::move(snapshot), *path);
    m_view->setFocus();
}

// Closing the terminal screen ends its receive loop, which gives the link
// back to the other screens.
void TermMode::hideEvent(QHideEvent *event)
{
    if (!event->spontaneous() && m_session->running())
        m_services.state.terminalStop = true;
    QWidget::hideEvent(event);
}

} // namespace terminal
