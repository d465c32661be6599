#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <list>
#include <memory>

class QProcess;

namespace cli::fleet {

// The worker processes of a fleet run (tarnic-cli fleet-worker). Each carries
// up to kRunsPerWorker controllers' runs at a time, each on a thread of its
// own: a thousand controllers cost a few dozen processes, not a thousand
// start-ups and pipes, and a crash takes down only the runs of one worker.
class Workers {
public:
    static constexpr int kRunsPerWorker = 32;

    Workers();
    ~Workers();
    Workers(const Workers &) = delete;
    Workers &operator=(const Workers &) = delete;

    // Every event of a run, its "result" last; a run whose worker ended
    // before its result; a line a worker wrote of its own accord.
    std::function<void(const QString &name, const QJsonObject &event)> onEvent;
    std::function<void(const QString &name)> onLost;
    std::function<void(const QString &text)> onError;

    // Starts a run in a worker with room, starting a worker when none has.
    void start(const QString &name, const QStringList &arguments);
    // Stops every run at once; each ends with its result. A worker still
    // there 10 s later is killed, and its runs are lost.
    void stop();
    // No more runs: lets the workers end and waits for them.
    void finish();

private:
    struct Worker {
        std::unique_ptr<QProcess> process;
        QByteArray out, err; // partial lines
        QSet<QString> runs;
    };

    Worker &withRoom();
    void readOut(Worker &w) const;
    void readErr(Worker &w) const;
    void ended(Worker &w);

    std::list<Worker> m_workers;
    std::list<Worker> m_ended; // their process objects are still inside their own signals
    QTimer m_kill;             // armed by stop()
};

} // namespace cli::fleet
