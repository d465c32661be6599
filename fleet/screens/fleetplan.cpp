// The fleet screen's Plan and Apply: tarnic-cli plan and apply over the
// inventory, their JSON Lines on the rows.
#include "fleet/screens/fleetscreen.h"

#include <QCheckBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QSpinBox>
#include <QTableWidget>

namespace fleet {

namespace {

QString text(const QJsonObject &o, const char *key) { return o.value(QLatin1String(key)).toString(); }

QStringList strings(const QJsonValue &list)
{
    QStringList out;
    for (const auto &v : list.toArray())
        out << v.toString();
    return out;
}

// A planned controller's row: its pending actions with their reasons, then
// what is reported but not pending.
QString plannedText(const QJsonObject &c)
{
    QStringList parts;
    for (const auto &v : c.value(QLatin1String("actions")).toArray()) {
        const QJsonObject a = v.toObject();
        parts << QStringLiteral("%1: %2").arg(text(a, "kind"), text(a, "reason"));
    }
    return (parts + strings(c.value(QLatin1String("notes")))).join(QStringLiteral("; "));
}

// What apply did to a controller: its actions done, verified, recorded and
// failed, and why it failed or did not start.
QString appliedText(const QJsonObject &c)
{
    QStringList parts;
    for (const char *what : {"done", "verified", "recorded", "failed"})
        if (const QStringList kinds = strings(c.value(QLatin1String(what))); !kinds.isEmpty())
            parts << QStringLiteral("%1 %2").arg(QLatin1String(what), kinds.join(QStringLiteral(", ")));
    if (const QString message = text(c, "message"); !message.isEmpty())
        parts << message;
    return parts.join(QStringLiteral("; "));
}
} // namespace

void FleetScreen::setPrune(bool on)
{
    // Deleting IDs cannot be undone from here: the file is the only record of them.
    if (on
        && !m_messages.ask(QStringLiteral("Apply will delete from each controller's ad hoc list every ID that its "
                                          "access-list file does not hold. Delete them?")))
        on = false;
    m_prune->setChecked(on);
}

QStringList FleetScreen::planArguments(const char *command) const
{
    QStringList arguments{QStringLiteral("--json"), QLatin1String(command), m_inventory, QStringLiteral("--parallel"),
                          QString::number(m_parallel->value())};
    if (m_prune->isChecked())
        arguments << QStringLiteral("--prune");
    return arguments;
}

void FleetScreen::clearRows()
{
    m_note->clear();
    // Attempts count a fleet's runs: a plan or an apply has none of its own.
    for (int r = 0; r < m_table->rowCount(); ++r) {
        setCell(r, State, QStringLiteral("waiting"));
        setCell(r, Attempts, QString());
        setCell(r, Status, QString());
        static_cast<QProgressBar *>(m_table->cellWidget(r, Progress))->setValue(0);
    }
}

void FleetScreen::plan()
{
    if (running() || m_inventory.isEmpty())
        return;
    clearRows();
    launch(Mode::Plan, planArguments("plan"));
}

void FleetScreen::apply()
{
    if (running() || m_inventory.isEmpty() || !m_runDir.isValid())
        return;
    clearRows();
    QStringList arguments = planArguments("apply");
    arguments << QStringLiteral("--waves") << m_waves->text().trimmed() << QStringLiteral("--report") << runReport()
              << (m_yes->isChecked() ? QStringLiteral("--yes") : QStringLiteral("--no"));
    if (const QString limit = m_maxFailures->text().trimmed(); !limit.isEmpty())
        arguments << QStringLiteral("--max-failures") << limit;
    m_doing.clear();
    m_report.clear();
    launch(Mode::Apply, arguments);
}

void FleetScreen::applyPlanEvent(const QJsonObject &event)
{
    const QString kind = text(event, "event");
    if (kind == QLatin1String("wave")) {
        const QString wave = QStringLiteral("wave %1 of %2")
                                 .arg(event.value(QLatin1String("wave")).toInt())
                                 .arg(event.value(QLatin1String("waves")).toInt());
        for (const QString &name : strings(event.value(QLatin1String("controllers"))))
            if (const int r = row(name); r >= 0) {
                setCell(r, State, QStringLiteral("waiting"));
                setCell(r, Status, wave);
            }
        return;
    }
    if (kind == QLatin1String("stopped") || kind == QLatin1String("summary")) {
        if (kind == QLatin1String("stopped"))
            m_note->setText(text(event, "text"));
        return;
    }
    const int r = row(text(event, "name"));
    if (r < 0)
        return;
    const QString name = text(event, "name");
    auto *bar = static_cast<QProgressBar *>(m_table->cellWidget(r, Progress));
    if (kind == QLatin1String("controller")) {
        const bool reachable = event.value(QLatin1String("reachable")).toBool();
        const bool inState = event.value(QLatin1String("in_state")).toBool();
        if (m_mode == Mode::Plan) {
            setCell(r, State,
                    inState                                                  ? QStringLiteral("in state")
                        : reachable                                          ? QStringLiteral("pending")
                        : event.value(QLatin1String("interrupted")).toBool() ? QStringLiteral("left in boot code")
                                                                             : QStringLiteral("unreachable"));
            setCell(r, Status,
                    reachable || !event.value(QLatin1String("actions")).toArray().isEmpty() ? plannedText(event)
                                                                                            : text(event, "error"));
            bar->setValue(0);
            return;
        }
        const QString state = text(event, "state");
        setCell(r, State, state);
        setCell(r, Status, state == QLatin1String("in state") ? plannedText(event) : appliedText(event));
        if (state == QLatin1String("applied") || state == QLatin1String("in state"))
            bar->setValue(100);
        return;
    }
    if (kind == QLatin1String("reading")) {
        setCell(r, State, QStringLiteral("reading"));
        return;
    }
    // Apply: each action as it runs, and its worker's progress under it.
    if (kind == QLatin1String("action")) {
        const QString actionState = text(event, "state");
        m_doing[name] =
            QStringLiteral("wave %1: %2").arg(event.value(QLatin1String("wave")).toInt()).arg(text(event, "action"));
        setCell(r, State, actionState == QLatin1String("failed") ? actionState : QStringLiteral("running"));
        const QString said = text(event, "text");
        setCell(r, Status,
                QStringLiteral("%1 %2%3").arg(m_doing[name], actionState,
                                              said.isEmpty() ? QString() : QStringLiteral(": ") + said));
        if (actionState == QLatin1String("running"))
            bar->setValue(0);
        return;
    }
    const QString doing = m_doing[name];
    if (kind == QLatin1String("progress")) {
        // The bar and the text from one figure.
        const int percent = static_cast<int>(event.value(QLatin1String("percent")).toInteger());
        bar->setValue(percent);
        setCell(r, Status, QStringLiteral("%1 %2 %").arg(doing).arg(percent));
    } else if (const QString said = text(event, "text"); !said.isEmpty()) {
        setCell(r, Status, QStringLiteral("%1: %2").arg(doing, said));
    }
}

void FleetScreen::planRunEnded(int exitCode)
{
    QFile file(runReport());
    const QJsonObject report = m_mode == Mode::Apply && file.open(QIODevice::ReadOnly)
        ? QJsonDocument::fromJson(file.readAll()).object()
        : QJsonObject();
    for (const auto &v : report.value(QLatin1String("controllers")).toArray()) {
        QJsonObject c = v.toObject();
        const QString state = text(c, "state");
        c.insert(QStringLiteral("ok"), state == QLatin1String("applied") || state == QLatin1String("in state"));
        m_report[text(c, "name")] = c;
    }
    if (!report.isEmpty())
        m_reportCommand = QJsonArray::fromStringList(m_runner->arguments());
    // Plan: 0 in state, 4 pending, 1 something unread; apply: 0 or 1. Else the runner said why on stderr.
    const bool answered = exitCode == 0 || exitCode == 1 || (m_mode == Mode::Plan && exitCode == 4);
    if (answered && (m_mode == Mode::Plan || !report.isEmpty()))
        return;
    const QString why = runnerComplaint();
    m_messages.message(
        !why.isEmpty() ? why : QStringLiteral("%1 ended with exit status %2").arg(m_runner->program()).arg(exitCode));
}

} // namespace fleet
