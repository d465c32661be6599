#include "cli/fleet/workers.h"

#include "cli/fleet/worker.h"
#include "fleet/jsonlines.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace cli::fleet {

namespace {
constexpr int kFinishMs = 10000;
// How long a stopped worker has to end its runs through their failure path.
constexpr std::chrono::seconds kStopGrace{10};
} // namespace

Workers::Workers()
{
    // A run can sit in a wait no signal reaches (a blocking open or read).
    m_kill.setSingleShot(true);
    QObject::connect(&m_kill, &QTimer::timeout, [this] {
        for (Worker &w : m_workers)
            w.process->kill();
    });
}

Workers::~Workers() = default;

Workers::Worker &Workers::withRoom()
{
    for (Worker &w : m_workers)
        if (w.runs.size() < kRunsPerWorker)
            return w;
    Worker &w = m_workers.emplace_back();
    w.process = std::make_unique<QProcess>();
    QProcess &p = *w.process;
    p.setProgram(QCoreApplication::applicationFilePath());
    p.setArguments({QLatin1String(kWorkerCommand)});
    // Its own process group keeps the terminal's Ctrl-C away from the runs
    // (the fleet decides what it means), and the worker stops its runs should
    // the fleet die.
    p.setChildProcessModifier([] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    });
    QObject::connect(&p, &QProcess::readyReadStandardOutput, [this, &w] { readOut(w); });
    QObject::connect(&p, &QProcess::readyReadStandardError, [this, &w] { readErr(w); });
    QObject::connect(&p, &QProcess::finished, [this, &w] { ended(w); });
    QObject::connect(&p, &QProcess::errorOccurred, [this, &w](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            ended(w);
    });
    p.start();
    return w;
}

void Workers::start(const QString &name, const QStringList &arguments)
{
    Worker &w = withRoom();
    w.runs.insert(name);
    const QJsonObject run{{QStringLiteral("name"), name},
                          {QStringLiteral("arguments"), QJsonArray::fromStringList(arguments)}};
    w.process->write(QJsonDocument(run).toJson(QJsonDocument::Compact) + '\n');
}

void Workers::stop()
{
    for (Worker &w : m_workers)
        w.process->terminate();
    if (!m_kill.isActive())
        m_kill.start(kStopGrace);
}

void Workers::finish()
{
    for (Worker &w : m_workers)
        w.process->closeWriteChannel();
    while (!m_workers.empty()) {
        Worker &w = m_workers.front();
        if (!w.process->waitForFinished(kFinishMs)) {
            w.process->kill();
            w.process->waitForFinished(kFinishMs);
        }
        if (!m_workers.empty() && &m_workers.front() == &w)
            ended(w);
    }
}

void Workers::readOut(Worker &w) const
{
    for (const QByteArray &line : ::fleet::takeLines(w.out, w.process->readAllStandardOutput())) {
        const QJsonObject event = QJsonDocument::fromJson(line).object();
        const QString name = event.value(QLatin1String("name")).toString();
        if (!w.runs.contains(name)) {
            onError(QString::fromLocal8Bit(line));
            continue;
        }
        if (event.value(QLatin1String("event")).toString() == QLatin1String("result"))
            w.runs.remove(name);
        onEvent(name, event);
    }
}

void Workers::readErr(Worker &w) const
{
    for (const QByteArray &line : ::fleet::takeLines(w.err, w.process->readAllStandardError()))
        onError(QString::fromLocal8Bit(line));
}

void Workers::ended(Worker &w)
{
    readOut(w);
    readErr(w);
    const QSet<QString> lost = std::exchange(w.runs, {});
    const auto it = std::find_if(m_workers.begin(), m_workers.end(), [&w](const Worker &x) { return &x == &w; });
    if (it != m_workers.end())
        m_ended.splice(m_ended.end(), m_workers, it);
    for (const QString &name : lost)
        onLost(name);
}

} // namespace cli::fleet
