#pragma once

#include "sim/module.h"

#include <vector>

namespace sim {

// "x" (the ID size), "V" (the version text), and the switches every session
// shares: the reply to other lines and the commands to stay silent on.
class BasicModule final : public Module {
public:
    void addOptions(QCommandLineParser &parser) override;
    bool configure(const QCommandLineParser &parser, QString *error) override;
    void place(const Placement &placement) override;
    void install(Controller &controller) override;
    void snapshot(ControllerState &state) const override;

private:
    Controller::Options m_options;
    std::vector<Controller *> m_controllers;
};

} // namespace sim
