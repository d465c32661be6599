#pragma once

#include "sim/module.h"

#include <QByteArray>
#include <QFile>

namespace sim {

// Link faults that belong to no one command set: the connection dropped at
// the Nth command line or the Nth byte received, and a reply that floods the
// line without ever ending. Each drop happens once in the simulator's life,
// so that a second attempt finds a working controller. Also the record of
// every byte received, which sees them first.
class FaultModule final : public Module {
public:
    void addOptions(QCommandLineParser &parser) override;
    bool configure(const QCommandLineParser &parser, QString *error) override;
    void place(const Placement &placement) override;
    void install(Controller &controller) override;

private:
    qint64 m_dropAtCommand = 0; // 0: never
    qint64 m_dropAfterBytes = 0;
    qint64 m_commands = 0;
    qint64 m_bytes = 0;
    QByteArray m_floodOn;
    qint64 m_floodSize = 0;
    QFile m_received; // --received-log
};

} // namespace sim
