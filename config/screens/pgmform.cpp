#include "config/screens/pgmform.h"

#include "config/record.h"
#include "core/widgets/labelbutton.h"
#include "screens/journalnote.h"
#include "screens/notes.h"

#include <QCheckBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

namespace config {

namespace {
// How a programming run that began ended, as the journal keeps it.
journal::End runEnd(RunOutcome outcome, const ProgramContext &run)
{
    switch (outcome) {
    case RunOutcome::Complete:
        return {journal::Outcome::Ok, std::nullopt, {}, runResults(run)};
    case RunOutcome::SendFailed:
        return {journal::Outcome::LinkNotOpened, std::nullopt, screens::kNotConnectedNote, {}};
    case RunOutcome::Quit:
        return {journal::Outcome::Interrupted, std::nullopt, screens::kProgramClosed, runResults(run)};
    default:
        return {journal::Outcome::Failed, std::nullopt, run.stopped, runResults(run)};
    }
}
} // namespace

PgmForm::PgmForm(screens::Services &services, QWidget *parent) : QWidget(parent), m_services(services)
{
    setObjectName(QStringLiteral("pgmform"));
    setWindowTitle(QStringLiteral("Form1"));
    auto *layout = new QVBoxLayout(this);

    auto *actions = new QHBoxLayout;
    m_program = new core::LabelButton(QStringLiteral("Program Controller"), this);
    m_program->setObjectName(QStringLiteral("Command1"));
    m_program->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return), this, Qt::WidgetWithChildrenShortcut);
    m_reset = new core::LabelButton(QStringLiteral("Reset Controller"), this);
    m_reset->setObjectName(QStringLiteral("Command2"));
    actions->addWidget(m_program);
    actions->addSpacing(24);
    actions->addWidget(m_reset);
    actions->addStretch();
    m_record = new QCheckBox(QStringLiteral("Record each run"), this);
    m_record->setObjectName(QStringLiteral("recordRuns"));
    auto *folder = new QPushButton(QStringLiteral("Folder\u2026"), this);
    folder->setObjectName(QStringLiteral("recordFolderChoice"));
    m_recordFolder = new QLabel(this);
    m_recordFolder->setObjectName(QStringLiteral("recordFolder"));
    actions->addWidget(m_record);
    actions->addWidget(folder);
    actions->addWidget(m_recordFolder);
    layout->addLayout(actions);
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("programNote"));
    layout->addWidget(m_note);
    m_journalNote = new screens::JournalNote(this);
    layout->addWidget(m_journalNote);

    auto *panes = new QHBoxLayout;
    auto makePane = [this](const char *name) {
        auto *pane = new QPlainTextEdit(this);
        pane->setObjectName(QLatin1String(name));
        pane->setReadOnly(true);
        pane->setLineWrapMode(QPlainTextEdit::NoWrap);
        pane->setFont(QFont(QStringLiteral("Monospace")));
        return pane;
    };
    m_picture1 = makePane("Picture1");
    m_picture2 = makePane("Picture2");
    panes->addWidget(m_picture1, 1);
    panes->addWidget(m_picture2, 1);
    layout->addLayout(panes, 1);
    m_pane1 = std::make_unique<core::TextPane>(m_picture1);
    m_pane2 = std::make_unique<core::TextPane>(m_picture2);

    connect(m_program, &core::LabelButton::clicked, this, [this] { startProgram(); });
    connect(m_reset, &core::LabelButton::clicked, this, [this] { startReset(); });
    connect(folder, &QPushButton::clicked, this, &PgmForm::chooseRecordFolder);
    connect(m_record, &QCheckBox::clicked, this, [this](bool on) {
        if (on && m_recordFolder->text().isEmpty() && !chooseRecordFolder())
            m_record->setChecked(false);
    });
}

bool PgmForm::chooseRecordFolder()
{
    const std::optional<QString> folder =
        m_services.files.chooseFolder(QStringLiteral("Folder for Run Records"), QStringLiteral("records"));
    if (!folder)
        return false;
    m_recordFolder->setText(*folder);
    return true;
}

PgmForm::~PgmForm() = default;

void PgmForm::clear()
{
    m_picture1->clear();
    m_picture2->clear();
}

QPlainTextEdit *PgmForm::editOf(const core::Pane &pane) const
{
    return &pane == m_pane1.get() ? m_picture1 : m_picture2;
}

// The command shows while its reply is awaited; the reply completes the line.
void PgmForm::openLine(core::Pane &pane, const QString &text) { editOf(pane)->appendPlainText(text); }

void PgmForm::endLine(core::Pane &pane, const QString &rest)
{
    QPlainTextEdit *edit = editOf(pane);
    QTextCursor cursor(edit->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(rest);
}

void PgmForm::setRunning(bool running)
{
    m_running = running;
    m_program->setEnabled(!running);
    m_reset->setEnabled(!running);
}

RunOutcome PgmForm::startProgram()
{
    // The link claim inside the run refuses a start while anything else uses
    // the link; this screen's own flag also covers its two actions.
    if (m_running || m_services.link.busy())
        return RunOutcome::Busy;
    setRunning(true);
    m_note->clear();
    ProgramContext c{m_services.state, m_services.link, m_services.settings, *this, m_services.messages};
    const QStringList options =
        m_record->isChecked() ? QStringList{QStringLiteral("--record"), m_recordFolder->text()} : QStringList();
    journal::Operation recorded = m_services.journal.begin(
        journal::onLink(m_services.link, QStringLiteral("program"), options), m_journalNote->note());
    const RunOutcome outcome = do_program(c);
    recorded.end(runEnd(outcome, c));
    setRunning(false);
    if (outcome == RunOutcome::SendFailed)
        m_note->setText(screens::kNotConnectedNote);
    if (m_record->isChecked() && reachedController(outcome)) {
        const auto written = writeRecord(m_recordFolder->text(), c, outcome, QDateTime::currentDateTime());
        if (const auto *error = std::get_if<QString>(&written))
            m_services.messages.message(*error);
    }
    return outcome;
}

ResetOutcome PgmForm::startReset()
{
    if (m_running || m_services.link.busy())
        return ResetOutcome::Busy;
    setRunning(true);
    m_note->clear();
    ProgramContext c{m_services.state, m_services.link, m_services.settings, *this, m_services.messages};
    journal::Operation recorded =
        m_services.journal.begin(journal::onLink(m_services.link, QStringLiteral("reset")), m_journalNote->note());
    const ResetOutcome outcome = do_reset(c);
    recorded.end(outcome == ResetOutcome::Sent
                     ? journal::End{journal::Outcome::Ok, std::nullopt, {}, {}}
                     : journal::End{journal::Outcome::LinkNotOpened, std::nullopt, screens::kNotConnectedNote, {}});
    setRunning(false);
    if (outcome == ResetOutcome::SendFailed)
        m_note->setText(screens::kNotConnectedNote);
    return outcome;
}

} // namespace config
