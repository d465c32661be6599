#pragma once

#include "sim/module.h"

namespace sim {

// "x" (the ID size), "V" (the version text), and the switches every session
// shares: the reply to other lines and the commands to stay silent on.
class BasicModule final : public Module {
public:
    void addOptions(QCommandLineParser &parser) override;
    bool configure(const QCommandLineParser &parser, QString *error) override;
    void place(const Placement &placement) override;
    void install(Controller &controller) override;

private:
    Controller::Options m_options;
};

} // namespace sim
