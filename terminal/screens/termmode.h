#pragma once

#include "core/widgets/qtsinks.h"
#include "screens/services.h"
#include "terminal/session.h"

#include <QWidget>

#include <memory>

class QLabel;

namespace core {
class LabelButton;
}

namespace screens {
class JournalNote;
}

namespace terminal {

class TerminalView;

// `termmode`: the terminal screen. The receive loop runs inside the command
// menu's "Terminal Mode" click; keys typed on the display go to the link.
class TermMode : public QWidget {
    Q_OBJECT
public:
    TermMode(screens::Services &services, QWidget *parent = nullptr);
    ~TermMode() override;
    // The entry steps and the receive loop; returns when the terminal stop
    // flag is set, the link is lost or the program quits.
    void enter();

    Session &session() { return *m_session; }
    TerminalView *display() const { return m_view; }
    // "Clear Screen".
    void clearScreen();
    // Asks for a file and writes the session log there in the background.
    void saveLog();
    LogSaver &logSaver() { return m_saver; }

protected:
    void hideEvent(QHideEvent *event) override;

private:
    // Asks for a file and saves snapshot there; a save that fails offers
    // the same bytes again.
    void saveSnapshot(LogSnapshot snapshot);

    screens::Services &m_services;
    QLabel *m_status = nullptr;
    QLabel *m_logStatus = nullptr;
    screens::JournalNote *m_journalNote = nullptr;
    std::unique_ptr<core::LabelStatusLine> m_statusLine;
    std::unique_ptr<Session> m_session;
    TerminalView *m_view = nullptr;
    LogSaver m_saver;
    LogSnapshot m_unsaved; // of the save under way
};

} // namespace terminal
