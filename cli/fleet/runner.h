#pragma once

#include "cli/fleet/workers.h"
#include "journal/operation.h"

#include <QEventLoop>
#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QStringList>

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class QTimer;

namespace cli {
class InterruptSignals;
}

namespace cli::fleet {

// How one worker run ended.
struct RunEnd {
    int code = -1; // its exit status; -1 when it was lost with its worker
    bool lost = false;
    QJsonObject results;
    QString ending; // what ended it, from its result
    // What the journal records as its exit status: a driver may count a run
    // that succeeded as failed (its log lost lines).
    int exitStatus = -1;
};

// The machinery every run over a site shares (fleet, plan, apply): the
// worker processes, at most `parallel` controllers at once, rows whose links
// reach one device or endpoint never at once, a journal record for every
// worker run under one run id, and Ctrl-C once (no controller starts) or
// twice (the running ones stop). A driver decides what each controller runs,
// one worker run after another; the controller keeps its link until it is
// finished.
class Runner {
public:
    // What a controller does next.
    struct Next {
        enum class Kind { Run, Finish, Requeue };
        Kind kind = Kind::Finish;
        QStringList arguments; // Run: tarnic-cli's, for one worker run
        int attempt = 1;
        std::chrono::milliseconds delay{0}; // Run: a pause first, the link kept
    };
    static Next run(const QStringList &arguments, int attempt = 1, std::chrono::milliseconds delay = {})
    {
        return {Next::Kind::Run, arguments, attempt, delay};
    }
    static Next finish() { return {}; }

    class Driver {
    public:
        virtual ~Driver() = default;
        // Whether a waiting controller may start now (its link is free and
        // there is room): waves and thresholds say no.
        virtual bool mayStart(std::size_t) { return true; }
        // Its first run (Finish: nothing to run).
        virtual Next start(std::size_t index) = 0;
        // A run was recorded and handed to a worker.
        virtual void launched(std::size_t) {}
        // Every event of a run but its result.
        virtual void event(std::size_t index, const QJsonObject &event) = 0;
        // A run ended; before the journal records its end.
        virtual void ended(std::size_t, RunEnd &) {}
        // After the record: the controller's next run, its end (Finish), or
        // back among the waiting (Requeue).
        virtual Next next(std::size_t index) = 0;
        // The runs were stopped while the controller paused before its next run.
        virtual void stopped(std::size_t) {}
    };

    struct Member {
        QString name;
        QStringList linkKeys;
    };

    Runner(std::vector<Member> members, int parallel, journal::Journal *journal, QString runId);
    ~Runner();
    Runner(const Runner &) = delete;
    Runner &operator=(const Runner &) = delete;

    // Until every controller that could start has finished.
    void run(InterruptSignals &interrupts, Driver &driver);
    int interrupts() const { return m_interrupts; }
    // The running controllers were told to stop.
    bool stopping() const { return m_stopping; }
    const QString &runId() const { return m_runId; }

private:
    enum class Slot { Waiting, Active, Finished };
    struct Active {
        std::optional<journal::Operation> record;
        std::unique_ptr<QTimer> pause;
    };

    void interrupt(int signal);
    void startMore();
    bool linkBusy(std::size_t index) const;
    void launch(std::size_t index, const Next &next);
    void proceed(std::size_t index, const Next &next);
    void release(std::size_t index, Slot to);
    void handle(std::size_t index, const QJsonObject &event);
    void ended(std::size_t index, RunEnd end);
    void quitWhenDone();

    std::vector<Member> m_members;
    std::vector<Slot> m_slots;
    QHash<QString, std::size_t> m_byName;
    std::map<std::size_t, Active> m_active;
    QSet<QString> m_busyLinks; // the link keys of the active controllers
    int m_parallel;
    journal::Journal *m_journal;
    QString m_runId;
    Driver *m_driver = nullptr;
    Workers m_workers;
    int m_interrupts = 0;
    bool m_stopping = false;
    QEventLoop m_loop;
};

// A fresh run id for the journal and the report.
QString newRunId();

// A large site may need more descriptors than the usual soft limit: raises it
// to the hard limit, and says why when even that is too few for parallel
// controllers at once.
QString raiseFileLimit(int parallel);

} // namespace cli::fleet
