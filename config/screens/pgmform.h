#pragma once

#include "config/program.h"
#include "core/widgets/qtsinks.h"
#include "screens/services.h"

#include <QWidget>

#include <memory>

class QCheckBox;
class QLabel;
class QPlainTextEdit;

namespace core {
class LabelButton;
}

namespace screens {
class JournalNote;
}

namespace config {

// `pgmform`: the programming progress screen, two panes side by side
// (Picture1 left, Picture2 right) and the actions that run `do_program` and
// `do_reset`.
class PgmForm : public QWidget, private ProgressPanes {
    Q_OBJECT
public:
    PgmForm(screens::Services &services, QWidget *parent = nullptr);
    ~PgmForm() override;

    // The actions; a start while a run or a reset is under way is refused.
    RunOutcome startProgram();
    ResetOutcome startReset();
    bool running() const { return m_running; }

private:
    void clear() override;
    core::Pane &picture1() override { return *m_pane1; }
    core::Pane &picture2() override { return *m_pane2; }
    void openLine(core::Pane &pane, const QString &text) override;
    void endLine(core::Pane &pane, const QString &rest) override;
    QPlainTextEdit *editOf(const core::Pane &pane) const;
    void setRunning(bool running);
    // Asks for the folder records go to; false when cancelled.
    bool chooseRecordFolder();

    screens::Services &m_services;
    QPlainTextEdit *m_picture1 = nullptr;
    QPlainTextEdit *m_picture2 = nullptr;
    std::unique_ptr<core::TextPane> m_pane1;
    std::unique_ptr<core::TextPane> m_pane2;
    core::LabelButton *m_program = nullptr;
    core::LabelButton *m_reset = nullptr;
    QCheckBox *m_record = nullptr; // leave a record of each run that reaches the controller
    QLabel *m_recordFolder = nullptr;
    QLabel *m_note = nullptr; // our own line: why a run or a reset did nothing
    screens::JournalNote *m_journalNote = nullptr;
    bool m_running = false;
};

} // namespace config
