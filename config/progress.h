#pragma once

#include "core/sinks.h"

#include <QString>

namespace config {

// The programming screen's two output panes: Picture1 on the left, Picture2
// on the right.
class ProgressPanes {
public:
    virtual ~ProgressPanes() = default;
    // Clears Picture1, then Picture2.
    virtual void clear() = 0;
    virtual core::Pane &picture1() = 0;
    virtual core::Pane &picture2() = 0;

    // A command step's line: opened with the command text before the wait,
    // ended with the reply (or a blank) after it. A view that can show the
    // open line at once overrides both; by default the line is written whole
    // when it ends.
    virtual void openLine(core::Pane &pane, const QString &text)
    {
        (void)pane;
        m_open = text;
    }
    virtual void endLine(core::Pane &pane, const QString &rest)
    {
        pane.append(m_open + rest);
        m_open.clear();
    }

private:
    QString m_open;
};

// Both panes on one report surface (the command line prints every line in
// the order written; nothing to clear there).
class SinglePane final : public ProgressPanes {
public:
    explicit SinglePane(core::Pane &pane) : m_pane(pane) {}
    void clear() override {}
    core::Pane &picture1() override { return m_pane; }
    core::Pane &picture2() override { return m_pane; }

private:
    core::Pane &m_pane;
};

} // namespace config
