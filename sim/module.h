#pragma once

#include "sim/controller.h"
#include "sim/state.h"

#include <QCommandLineParser>

#include <functional>
#include <memory>
#include <vector>

namespace sim {

// One piece of controller behaviour (basic commands, configuration, access
// data, boot code, echo) with its own command-line switches.
class Module {
public:
    virtual ~Module() = default;
    virtual void addOptions(QCommandLineParser &) {}
    // Reads the switches; false with a reason on a bad value.
    virtual bool configure(const QCommandLineParser &, QString *) { return true; }
    // After configure(): which of a simulator's controllers this instance
    // serves. Its number (from 1) replaces "{index}" in the files it writes,
    // and the fault switches are dropped where they do not apply.
    struct Placement {
        int index = 1;
        bool faults = true;
        const ControllerState *state = nullptr; // what a state file gives it
        // Called after each change to what ControllerState holds.
        std::function<void()> changed;
    };
    virtual void place(const Placement &) {}
    virtual void install(Controller &controller) = 0;
    // Fills in the part of the controller's state this module keeps.
    virtual void snapshot(ControllerState &) const {}
};

// Every module, in the order they see command lines.
std::vector<std::unique_ptr<Module>> makeModules();

} // namespace sim
