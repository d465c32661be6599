#include "fleet/screens/fleetscreen.h"

#include "config/profile.h"
#include "core/safewrite.h"
#include "flash/download.h"
#include "fleet/inventory.h"
#include "fleet/jsonlines.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace fleet {

namespace {
constexpr int kDefaultParallel = 8;
constexpr int kMaxParallel = 1000;
const core::FileFilter kInventoryFilter{QStringLiteral("Inventories (*.csv)"), QStringLiteral("csv"), QString(),
                                        QStringLiteral("inventories")};
const core::FileFilter kProfileFilter{config::kProfileFilter, config::kProfileSuffix, QString(),
                                      QStringLiteral("profiles")};
const core::FileFilter kReportFilter{QStringLiteral("Reports (*.json)"), QStringLiteral("json"), QString(),
                                     QStringLiteral("reports")};

struct OperationChoice {
    Operation operation;
    const char *caption;
    const char *command;
    const core::FileFilter *file; // null when it takes none
};
const OperationChoice kOperations[] = {
    {Operation::Version, "Firmware identification", "version", nullptr},
    {Operation::SetClock, "Set clock", "time set", nullptr},
    {Operation::Program, "Program a profile", "program --profile", &kProfileFilter},
    {Operation::Flash, "Flash download", "flash", &flash::kImageFilter},
    {Operation::BootloaderExt, "Bootloader-extension download", "bootext", &flash::kImageFilter},
};

// tarnic-cli beside the program (installed), or in the build tree beside
// app/; TARNIC_CLI names another.
QString runnerPath()
{
    QString chosen = qEnvironmentVariable("TARNIC_CLI");
    if (!chosen.isEmpty())
        return chosen;
    const QDir here(QCoreApplication::applicationDirPath());
    const QString beside = here.filePath(QStringLiteral("tarnic-cli"));
    return QFileInfo::exists(beside) ? beside : QDir::cleanPath(here.filePath(QStringLiteral("../cli/tarnic-cli")));
}

bool failed(const QString &state)
{
    return state == QLatin1String("failed") || state == QLatin1String("crashed")
        || state == QLatin1String("interrupted");
}

const QString kWaiting = QStringLiteral("waiting");
const QString kConnecting = QStringLiteral("connecting");

// A download stopped after the controller's boot code took it: the row and
// the report say so, for the controller answers no command until the next
// download completes.
const QString kLeftInBootCode = QStringLiteral("the controller waits in its boot code: run the download again");

bool leftInBootCode(const QJsonObject &resultsOfRun) { return resultsOfRun.value(QLatin1String("boot_code")).toBool(); }
} // namespace

FleetScreen::FleetScreen(core::FileChooser &files, core::MessageBox &messages, std::function<bool()> recording,
                         QWidget *parent)
    : QWidget(parent), m_files(files), m_messages(messages), m_recording(std::move(recording))
{
    setObjectName(QStringLiteral("fleet"));
    setWindowTitle(QStringLiteral("Fleet"));

    auto *open = new QPushButton(QStringLiteral("Open Inventory…"), this);
    open->setObjectName(QStringLiteral("openInventory"));
    m_inventoryName = new QLabel(this);
    m_inventoryName->setObjectName(QStringLiteral("inventoryName"));
    m_operation = new QComboBox(this);
    m_operation->setObjectName(QStringLiteral("operation"));
    for (const OperationChoice &o : kOperations)
        m_operation->addItem(QString::fromUtf8(o.caption));
    m_file = new QLineEdit(this);
    m_file->setObjectName(QStringLiteral("file"));
    m_browse = new QPushButton(QStringLiteral("Browse…"), this);
    m_browse->setObjectName(QStringLiteral("browse"));
    m_parallel = new QSpinBox(this);
    m_parallel->setObjectName(QStringLiteral("parallel"));
    m_parallel->setRange(1, kMaxParallel);
    m_parallel->setValue(kDefaultParallel);
    m_yes = new QCheckBox(QStringLiteral("Answer the ID-size question Yes"), this);
    m_yes->setObjectName(QStringLiteral("yes"));
    m_waves = new QLineEdit(QStringLiteral("100%"), this);
    m_waves->setObjectName(QStringLiteral("waves"));
    m_waves->setToolTip(QStringLiteral("Apply: counts and shares of the controllers with pending actions, "
                                       "cumulative, e.g. 1,10%,100%"));
    m_maxFailures = new QLineEdit(this);
    m_maxFailures->setObjectName(QStringLiteral("maxFailures"));
    m_maxFailures->setPlaceholderText(QStringLiteral("none"));
    m_maxFailures->setToolTip(QStringLiteral("Apply: start no further controller once this many (N) or this share "
                                             "(P%) have failed"));
    m_prune = new QCheckBox(QStringLiteral("Delete surplus ad hoc IDs"), this);
    m_prune->setObjectName(QStringLiteral("prune"));
    m_start = new QPushButton(QStringLiteral("Start"), this);
    m_start->setObjectName(QStringLiteral("start"));
    m_plan = new QPushButton(QStringLiteral("Plan"), this);
    m_plan->setObjectName(QStringLiteral("plan"));
    m_apply = new QPushButton(QStringLiteral("Apply"), this);
    m_apply->setObjectName(QStringLiteral("apply"));
    m_stop = new QPushButton(QStringLiteral("Stop"), this);
    m_stop->setObjectName(QStringLiteral("stop"));
    m_saveReport = new QPushButton(QStringLiteral("Save Report"), this);
    m_saveReport->setObjectName(QStringLiteral("saveReport"));
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("fleetNote"));
    m_note->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_table = new QTableWidget(0, ColumnCount, this);
    m_table->setObjectName(QStringLiteral("controllers"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Link"), QStringLiteral("State"),
                                        QStringLiteral("Progress"), QStringLiteral("Attempts"), QString(),
                                        QStringLiteral("Status")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);

    connect(open, &QPushButton::clicked, this, &FleetScreen::openInventory);
    connect(m_browse, &QPushButton::clicked, this, &FleetScreen::chooseFile);
    connect(m_operation, &QComboBox::currentIndexChanged, this, &FleetScreen::updateButtons);
    connect(m_start, &QPushButton::clicked, this, &FleetScreen::start);
    connect(m_plan, &QPushButton::clicked, this, &FleetScreen::plan);
    connect(m_apply, &QPushButton::clicked, this, &FleetScreen::apply);
    connect(m_prune, &QCheckBox::clicked, this, &FleetScreen::setPrune);
    connect(m_stop, &QPushButton::clicked, this, &FleetScreen::stop);
    connect(m_saveReport, &QPushButton::clicked, this, &FleetScreen::saveReport);

    auto *layout = new QVBoxLayout(this);
    auto *inventory = new QHBoxLayout;
    inventory->addWidget(open);
    inventory->addWidget(m_inventoryName, 1);
    layout->addLayout(inventory);
    auto *operation = new QHBoxLayout;
    operation->addWidget(m_operation);
    operation->addWidget(m_file, 1);
    operation->addWidget(m_browse);
    layout->addLayout(operation);
    auto *options = new QHBoxLayout;
    options->addWidget(new QLabel(QStringLiteral("In parallel"), this));
    options->addWidget(m_parallel);
    options->addWidget(m_yes);
    options->addStretch();
    layout->addLayout(options);
    auto *desired = new QHBoxLayout;
    desired->addWidget(new QLabel(QStringLiteral("Waves"), this));
    desired->addWidget(m_waves);
    desired->addWidget(new QLabel(QStringLiteral("Max failures"), this));
    desired->addWidget(m_maxFailures);
    desired->addWidget(m_prune);
    desired->addStretch();
    layout->addLayout(desired);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_start);
    buttons->addWidget(m_plan);
    buttons->addWidget(m_apply);
    buttons->addWidget(m_stop);
    buttons->addWidget(m_saveReport);
    buttons->addWidget(m_note, 1);
    layout->addLayout(buttons);
    layout->addWidget(m_table, 1);
    updateButtons();
}

// A runner still going ends with the program (its controllers with it).
FleetScreen::~FleetScreen() = default;

bool FleetScreen::running() const { return m_runner != nullptr; }

void FleetScreen::openInventory()
{
    if (const auto path = m_files.openFile(QStringLiteral("Open Inventory"), kInventoryFilter))
        loadInventory(*path);
}

bool FleetScreen::loadInventory(const QString &path)
{
    if (running())
        return false;
    const Inventory inventory = readInventory(path);
    if (!inventory.error.isEmpty()) {
        m_messages.message(inventory.error);
        return false;
    }
    m_inventory = path;
    m_inventoryName->setText(QDir::toNativeSeparators(path));
    m_report.clear();
    m_table->setRowCount(0);
    for (const Controller &c : inventory.controllers) {
        const int r = m_table->rowCount();
        m_table->insertRow(r);
        setCell(r, Name, c.name);
        setCell(r, Link, c.link);
        setCell(r, State, kWaiting);
        setCell(r, Attempts, QStringLiteral("0"));
        auto *bar = new QProgressBar(m_table);
        bar->setRange(0, 100);
        bar->setValue(0);
        m_table->setCellWidget(r, Progress, bar);
        auto *again = new QPushButton(QStringLiteral("Retry"), m_table);
        connect(again, &QPushButton::clicked, this, [this, name = c.name] {
            // The row clicked is the one selected, and keeps the keyboard
            // while its button is disabled for the run.
            m_table->selectRow(row(name));
            m_table->setFocus();
            retry(name);
        });
        m_table->setCellWidget(r, Retry, again);
    }
    m_table->resizeColumnsToContents();
    // Room for the longest state a row reaches.
    int widest = m_table->columnWidth(State);
    for (const char *state : {"interrupted", "unreachable", "not started", "left in boot code"})
        widest = std::max(widest,
                          m_table->fontMetrics().horizontalAdvance(QLatin1String(state))
                              + 2 * m_table->fontMetrics().averageCharWidth());
    m_table->setColumnWidth(State, widest);
    updateButtons();
    return true;
}

void FleetScreen::setOperation(Operation operation) { m_operation->setCurrentIndex(static_cast<int>(operation)); }

void FleetScreen::chooseFile()
{
    const core::FileFilter *filter = kOperations[m_operation->currentIndex()].file;
    if (!filter)
        return;
    if (const auto path = m_files.openFile(QStringLiteral("Choose File"), *filter))
        m_file->setText(*path);
}

QStringList FleetScreen::command() const
{
    const OperationChoice &o = kOperations[m_operation->currentIndex()];
    QStringList words = QString::fromLatin1(o.command).split(QLatin1Char(' '));
    if (o.file)
        words << m_file->text();
    return words;
}

void FleetScreen::start()
{
    if (running())
        return;
    m_note->clear();
    // Every row would fail on its own for want of the file: say it once here.
    if (kOperations[m_operation->currentIndex()].file && m_file->text().trimmed().isEmpty()) {
        m_note->setText(QStringLiteral("No file chosen: choose one with Browse… first"));
        return;
    }
    m_report.clear();
    for (int r = 0; r < m_table->rowCount(); ++r)
        setCell(r, Attempts, QStringLiteral("0"));
    run({});
}

void FleetScreen::retry(const QString &name) { run({name}); }

void FleetScreen::run(const QStringList &only)
{
    if (running() || m_inventory.isEmpty() || !m_runDir.isValid())
        return;
    QStringList arguments{QStringLiteral("--json"),
                          QStringLiteral("fleet"),
                          m_inventory,
                          QStringLiteral("--parallel"),
                          QString::number(m_parallel->value()),
                          QStringLiteral("--report"),
                          runReport()};
    if (!only.isEmpty())
        arguments << QStringLiteral("--only") << only.join(QLatin1Char(','));
    if (m_yes->isChecked())
        arguments << QStringLiteral("--yes");
    arguments << QStringLiteral("--") << command();

    m_earlierAttempts.clear();
    for (int r = 0; r < m_table->rowCount(); ++r) {
        const QString name = m_table->item(r, Name)->text();
        if (!only.isEmpty() && !only.contains(name))
            continue;
        m_earlierAttempts[name] = m_table->item(r, Attempts)->text().toInt();
        setCell(r, State, kWaiting);
        setCell(r, Status, QString());
        static_cast<QProgressBar *>(m_table->cellWidget(r, Progress))->setValue(0);
    }
    launch(Mode::Fleet, arguments);
}

QString FleetScreen::runnerComplaint() const
{
    // Without the command-line usage the runner adds to a complaint about its
    // words: the screen chose them.
    const QString said = QString::fromLocal8Bit(m_runner->readAllStandardError());
    return said.left(said.indexOf(QLatin1String("usage: "))).trimmed();
}

void FleetScreen::launch(Mode mode, const QStringList &arguments)
{
    m_mode = mode;
    QFile::remove(runReport());
    m_partial.clear();
    m_runner = new QProcess(this);
    m_runner->setStandardInputFile(QProcess::nullDevice());
    connect(m_runner, &QProcess::readyReadStandardOutput, this, &FleetScreen::readEvents);
    connect(m_runner, &QProcess::finished, this,
            [this](int code, QProcess::ExitStatus status) { runEnded(status == QProcess::NormalExit ? code : -1); });
    connect(m_runner, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            runEnded(-1);
    });
    m_runner->start(runnerPath(),
                    m_recording && !m_recording() ? QStringList{QStringLiteral("--no-journal")} + arguments
                                                  : arguments);
    updateButtons();
}

// SIGTERM: the runner stops its running controllers at once, each reported
// as interrupted, and still writes its report.
void FleetScreen::stop()
{
    if (running())
        m_runner->terminate();
}

int FleetScreen::row(const QString &name) const
{
    for (int r = 0; r < m_table->rowCount(); ++r)
        if (m_table->item(r, Name)->text() == name)
            return r;
    return -1;
}

void FleetScreen::setCell(int row, Column column, const QString &text)
{
    if (auto *item = m_table->item(row, column))
        item->setText(text);
    else
        m_table->setItem(row, column, new QTableWidgetItem(text));
}

void FleetScreen::readEvents()
{
    for (const QByteArray &line : takeLines(m_partial, m_runner->readAllStandardOutput()))
        applyEvent(QJsonDocument::fromJson(line).object());
}

void FleetScreen::applyEvent(const QJsonObject &event)
{
    if (m_mode != Mode::Fleet) {
        applyPlanEvent(event);
        return;
    }
    // The runner's closing summary names no controller.
    const int r = row(event.value(QLatin1String("name")).toString());
    if (r < 0)
        return;
    const QString name = m_table->item(r, Name)->text();
    const QString kind = event.value(QLatin1String("event")).toString();
    const QString text = event.value(QLatin1String("text")).toString();
    const int attempt = event.value(QLatin1String("attempt")).toInt();
    setCell(r, Attempts, QString::number(m_earlierAttempts[name] + attempt));
    auto *bar = static_cast<QProgressBar *>(m_table->cellWidget(r, Progress));
    if (kind == QLatin1String("attempt")) {
        setCell(r, State, kConnecting);
        setCell(r, Status, QString());
        bar->setValue(0);
        return;
    }
    if (kind == QLatin1String("result")) {
        const QString state = event.value(QLatin1String("state")).toString();
        const bool again = event.value(QLatin1String("retrying")).toBool();
        setCell(r, State, again ? QStringLiteral("retrying") : state);
        if (state == QLatin1String("ok"))
            bar->setValue(100);
        if (leftInBootCode(event.value(QLatin1String("results")).toObject()))
            setCell(r, Status, kLeftInBootCode);
        return;
    }
    // Until the link opens the controller is still being connected; a link
    // that does not open says so and stays there until the attempt's result.
    const bool linkFailed =
        kind == QLatin1String("error") || (kind == QLatin1String("status") && text == QLatin1String("Disconnected"));
    if (!linkFailed)
        setCell(r, State, QStringLiteral("running"));
    if (kind == QLatin1String("progress"))
        bar->setValue(static_cast<int>(event.value(QLatin1String("percent")).toInteger()));
    else if (!text.isEmpty())
        setCell(r, Status, text);
}

void FleetScreen::runEnded(int exitCode)
{
    if (!running())
        return;
    readEvents();
    if (m_mode != Mode::Fleet) {
        planRunEnded(exitCode);
        m_runner->deleteLater();
        m_runner = nullptr;
        updateButtons();
        return;
    }
    QFile file(runReport());
    const QJsonObject report =
        file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
    if (!report.isEmpty())
        m_reportCommand = report.value(QLatin1String("command")).toArray();
    for (const auto &v : report.value(QLatin1String("controllers")).toArray()) {
        QJsonObject c = v.toObject();
        const QString name = c.value(QLatin1String("name")).toString();
        const int r = row(name);
        if (r < 0)
            continue;
        // The report's attempts and state are the run's last word: controllers
        // stopped before they started appear only here.
        const int attempts = m_earlierAttempts[name] + c.value(QLatin1String("attempts")).toInt();
        c.insert(QStringLiteral("attempts"), attempts);
        if (leftInBootCode(c.value(QLatin1String("results")).toObject()))
            c.insert(QStringLiteral("note"), kLeftInBootCode);
        m_report[name] = c;
        setCell(r, State, c.value(QLatin1String("state")).toString());
        setCell(r, Attempts, QString::number(attempts));
    }
    if (report.isEmpty()) {
        // A runner that died took its controllers with it.
        for (int r = 0; r < m_table->rowCount(); ++r)
            if (const QString state = m_table->item(r, State)->text();
                state == QLatin1String("running") || state == QLatin1String("retrying"))
                setCell(r, State, QStringLiteral("crashed"));
        const QString why = runnerComplaint();
        m_messages.message(!why.isEmpty()     ? why
                               : exitCode < 0 ? QStringLiteral("The fleet runner %1 did not run to its end: %2")
                                                    .arg(m_runner->program(), m_runner->errorString())
                                              : QStringLiteral("The fleet runner %1 ended with exit status %2")
                                                    .arg(m_runner->program())
                                                    .arg(exitCode));
    }
    m_runner->deleteLater();
    m_runner = nullptr;
    updateButtons();
}

void FleetScreen::saveReport()
{
    if (m_report.empty())
        return;
    const auto path = m_files.saveFile(QStringLiteral("Save Report"), kReportFilter, QStringLiteral("report.json"));
    if (!path)
        return;
    QJsonArray controllers;
    bool allOk = true;
    for (int r = 0; r < m_table->rowCount(); ++r)
        if (const auto it = m_report.find(m_table->item(r, Name)->text()); it != m_report.end()) {
            controllers.append(it->second);
            allOk = allOk && it->second.value(QLatin1String("ok")).toBool();
        }
    const QJsonObject report{{QStringLiteral("command"), m_reportCommand},
                             {QStringLiteral("exit"), allOk ? 0 : 1},
                             {QStringLiteral("controllers"), controllers}};
    // Written whole or not at all, as the runner writes its own.
    if (const auto error = core::writeWholeFile(*path, QJsonDocument(report).toJson()))
        m_messages.message(QStringLiteral("cannot write the report %1").arg(*error));
    else
        m_note->setText(QStringLiteral("Report saved to %1").arg(QDir::toNativeSeparators(*path)));
}

void FleetScreen::updateButtons()
{
    const bool idle = !running();
    const bool loaded = !m_inventory.isEmpty();
    const bool takesFile = kOperations[m_operation->currentIndex()].file != nullptr;
    m_operation->setEnabled(idle);
    m_file->setEnabled(idle && takesFile);
    m_browse->setEnabled(idle && takesFile);
    m_parallel->setEnabled(idle);
    m_yes->setEnabled(idle);
    m_waves->setEnabled(idle);
    m_maxFailures->setEnabled(idle);
    m_prune->setEnabled(idle);
    m_start->setEnabled(idle && loaded);
    m_plan->setEnabled(idle && loaded);
    m_apply->setEnabled(idle && loaded);
    m_stop->setEnabled(!idle);
    m_saveReport->setEnabled(idle && !m_report.empty());
    for (int r = 0; r < m_table->rowCount(); ++r)
        m_table->cellWidget(r, Retry)->setEnabled(idle && m_mode == Mode::Fleet
                                                  && failed(m_table->item(r, State)->text()));
}

} // namespace fleet
