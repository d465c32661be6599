#pragma once

#include "sim/module.h"

#include <QSet>

namespace sim {

// The controller's echo mode for the link test: after the wake-up sequence
// (NUL, Escape, carriage return, twice) and "*", every byte comes straight
// back. Fault switches corrupt the echo of one value or drop it.
class EchoModule final : public Module {
public:
    void addOptions(QCommandLineParser &parser) override;
    bool configure(const QCommandLineParser &parser, QString *error) override;
    void place(const Placement &placement) override;
    void install(Controller &controller) override;

    // Echo mode ends once the line has been quiet this long (the test is
    // over); the controller then answers command lines again.
    static constexpr qint64 kQuietExitMs = 10000;

private:
    class Session;
    QSet<int> m_corrupt; // echoed as value + 1
    QSet<int> m_drop;    // not echoed at all
};

} // namespace sim
