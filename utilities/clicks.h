#pragma once

#include "core/sinks.h"
#include "journal/desk.h"
#include "utilities/actions.h"
#include "utilities/utilitiessettings.h"

#include <QJsonObject>

namespace utilities {

// The utilities screen's clicks, free of its widgets: a label's click begins
// the action's turn (connected? the link free? the controller woken) before
// anything else, then takes the action's inputs from the screen's model or
// asks for its file, and runs the action within that turn. Each action that
// goes to the controller is recorded in the journal given, if any.
class Clicks {
public:
    Clicks(Actions &actions, const UtilitiesSettings &model, core::FileChooser &files)
        : m_actions(actions), m_model(model), m_files(files)
    {}

    // Where the actions are recorded, and the screen's line about it.
    void recordInto(const journal::Desk &desk, journal::Desk::Note note)
    {
        m_journal = &desk;
        m_note = std::move(note);
    }

    // A click on Label1(index): the action of that label, or the wake-up
    // alone for the labels without one.
    Outcome click(int index);
    // Command1: the HS test.
    Outcome hsTest();
    // Command2: the sorted test file, where a save dialog says.
    Outcome writeSortedTestFile();

private:
    // What an action ended with, and what it learned for the journal.
    struct Ran {
        Outcome outcome = Outcome::Failed;
        // (gcc's -Wextra asks for the "= {}" where a Ran is built without results.)
        QJsonObject results = {}; // NOLINT(readability-redundant-member-init)
    };
    Ran run(int index, const Actions::Turn &turn, const QString &path);
    // Asks for the file of a transfer; nothing when cancelled.
    std::optional<QString> chooseFile(int index) const;
    // The started record of the label's action (its file once chosen).
    journal::Operation begin(int index, const QString &path) const;
    journal::Operation record(const journal::Begin &begin) const;
    ListOptions listOptions() const;

    Actions &m_actions;
    const UtilitiesSettings &m_model;
    core::FileChooser &m_files;
    const journal::Desk *m_journal = nullptr;
    journal::Desk::Note m_note = [](const QString &) {};
};

} // namespace utilities
