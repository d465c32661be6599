#pragma once

#include "loopback/loopbacktest.h"
#include "screens/services.h"

#include <QWidget>

#include <memory>

class QLabel;
class QListWidget;
class QPushButton;

namespace screens {
class JournalNote;
}

namespace loopback {

// `loopback`: the link echo test screen, opened with Escape on the command
// menu. The test runs inside the "Start" click; "Stop" and "Clear List" work
// meanwhile because every wait handles events.
class LoopbackScreen : public QWidget {
    Q_OBJECT
public:
    LoopbackScreen(screens::Services &services, QWidget *parent = nullptr);
    ~LoopbackScreen() override;

    void start();
    void stop();
    void clearList();
    LoopbackTest &test() { return *m_test; }
    // Passes of a run started from the screen (tests shorten it).
    void setPasses(int passes) { m_passes = passes; }

private:
    class ListPane;
    class Caption;

    screens::Services &m_services;
    QListWidget *m_list = nullptr;
    QLabel *m_progress = nullptr;
    QPushButton *m_start = nullptr;
    screens::JournalNote *m_journalNote = nullptr;
    std::unique_ptr<ListPane> m_listPane;
    std::unique_ptr<Caption> m_caption;
    std::unique_ptr<LoopbackTest> m_test;
    int m_passes = kDefaultPasses;
};

} // namespace loopback
