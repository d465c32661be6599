#pragma once

#include "sim/state.h"

#include <QList>
#include <QSemaphore>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QCommandLineParser;
class QThread;

namespace sim {

class Pacer;
class StateOut;
struct Served;

// What every controller of the simulator is made from.
struct Setup {
    const QCommandLineParser *parser = nullptr; // the modules' switches
    int pace = 0;                               // baud; 0: unpaced
    bool pty = false;
    bool tcp = false;
    QString listen;
    uint firstPort = 0;           // 0: any free ports
    QList<int> faultOn;           // empty: all
    QString ptyLink;              // for one controller only
    SiteState state;              // from --state
    StateOut *stateOut = nullptr; // --state-out's file
};

// Controllers first to last, built and served by a thread of their own: an
// event loop polls every socket it watches at each wake-up, so a thousand
// controllers on one loop would cost a thousand times a thousand.
class Group {
public:
    Group(const Setup &setup, int first, int last);
    ~Group();
    Group(const Group &) = delete;
    Group &operator=(const Group &) = delete;

    // Builds the controllers and has them serve; the lines that name their
    // pseudo-terminals and ports, or false with the reason.
    bool start(QStringList *lines, QString *error);

private:
    void run();
    bool build(Pacer *pacer, std::vector<std::unique_ptr<Served>> &served);

    const Setup &m_setup;
    int m_first;
    int m_last;
    QThread *m_thread = nullptr;
    QSemaphore m_built;
    bool m_ok = false;
    QStringList m_lines;
    QString m_error;
};

} // namespace sim
