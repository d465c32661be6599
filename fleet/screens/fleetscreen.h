#pragma once

#include "core/sinks.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QWidget>

#include <functional>
#include <map>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProcess;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace fleet {

// The operations a fleet runs from the program, in the order the screen
// offers them.
enum class Operation { Version, SetClock, Program, Flash, BootloaderExt };

// `fleet`: one operation across every controller of an inventory; "Plan"
// and "Apply": the inventory's desired state, what each controller lacks of
// it and then those actions, in waves. The work is tarnic-cli's runner in a
// process of its own, so the window's thread never waits and the program's
// own link is never touched; the table follows the runner's JSON Lines.
class FleetScreen : public QWidget {
    Q_OBJECT
public:
    // Table columns; the status text takes the room left.
    enum Column { Name, Link, State, Progress, Attempts, Retry, Status, ColumnCount };

    // recording tells whether the program's journal switch is on: the
    // runner records on its own, so it is told when not to.
    FleetScreen(core::FileChooser &files, core::MessageBox &messages, std::function<bool()> recording = {},
                QWidget *parent = nullptr);
    ~FleetScreen() override;

    // "Open Inventory…"; loadInventory() is what it does with the file chosen.
    void openInventory();
    bool loadInventory(const QString &path);
    void setOperation(Operation operation);
    // "Browse…" for the operation's file (an image or a profile).
    void chooseFile();
    void start();
    // What each controller lacks of its desired state, and then those
    // actions, with the waves and failure threshold set on the screen.
    void plan();
    void apply();
    // The prune choice: turning it on asks first.
    void setPrune(bool on);
    void stop();
    // A row's "Retry": that controller again, in a runner of its own.
    void retry(const QString &name);
    void saveReport();
    bool running() const;
    QTableWidget &table() const { return *m_table; }

private:
    enum class Mode { Fleet, Plan, Apply };
    void run(const QStringList &only);
    // Where the runner writes its report.
    QString runReport() const { return m_runDir.filePath(QStringLiteral("run.json")); }
    void launch(Mode mode, const QStringList &arguments);
    // What the runner said on stderr when it ended without an answer.
    QString runnerComplaint() const;
    QStringList planArguments(const char *command) const;
    // Before a plan or an apply: every row waiting, nothing said yet.
    void clearRows();
    // Plan's and apply's events on the rows.
    void applyPlanEvent(const QJsonObject &event);
    void planRunEnded(int exitCode);
    QStringList command() const;
    int row(const QString &name) const;
    void setCell(int row, Column column, const QString &text);
    void readEvents();
    void applyEvent(const QJsonObject &event);
    void runEnded(int exitCode);
    void updateButtons();

    core::FileChooser &m_files;
    core::MessageBox &m_messages;
    std::function<bool()> m_recording;
    QString m_inventory;
    QLabel *m_inventoryName;
    QComboBox *m_operation;
    QLineEdit *m_file;
    QPushButton *m_browse;
    QSpinBox *m_parallel;
    QCheckBox *m_yes;
    QLineEdit *m_waves;
    QLineEdit *m_maxFailures;
    QCheckBox *m_prune;
    QPushButton *m_start;
    QPushButton *m_plan;
    QPushButton *m_apply;
    QPushButton *m_stop;
    QPushButton *m_saveReport;
    QLabel *m_note; // our own line: why Start did nothing, where a report went
    QTableWidget *m_table;
    QProcess *m_runner = nullptr;
    Mode m_mode = Mode::Fleet;
    std::map<QString, QString> m_doing; // apply: each row's wave and action
    QByteArray m_partial;               // of the runner's output: a line not yet whole
    QTemporaryDir m_runDir;
    // The runner's report rows by name, the latest run's for each
    // controller, with the attempts of every run.
    std::map<QString, QJsonObject> m_report;
    std::map<QString, int> m_earlierAttempts; // before the running runner
    QJsonArray m_reportCommand;               // of the latest run
};

} // namespace fleet
