#pragma once

#include "core/sinks.h"
#include "utilities/actions.h"
#include "utilities/utilitiessettings.h"

namespace utilities {

// The utilities screen's clicks, free of its widgets: a label's click begins
// the action's turn (connected? the link free? the controller woken) before
// anything else, then takes the action's inputs from the screen's model or
// asks for its file, and runs the action within that turn.
class Clicks {
public:
    Clicks(Actions &actions, const UtilitiesSettings &model, core::FileChooser &files)
        : m_actions(actions), m_model(model), m_files(files)
    {}

    // A click on Label1(index): the action of that label, or the wake-up
    // alone for the labels without one.
    Outcome click(int index);
    // Command2: the sorted test file, where a save dialog says.
    Outcome writeSortedTestFile();

private:
    ListOptions listOptions() const;

    Actions &m_actions;
    const UtilitiesSettings &m_model;
    core::FileChooser &m_files;
};

} // namespace utilities
