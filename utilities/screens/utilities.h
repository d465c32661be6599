#pragma once

#include "screens/services.h"
#include "utilities/actions.h"
#include "utilities/clicks.h"

#include <QMap>
#include <QWidget>

#include <memory>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace core {
class LabelButton;
}

namespace utilities {

// `utilities`: the controller's stand-alone data — firmware identification,
// clock, single IDs, memory usage, access-list and schedule transfers. The
// widgets only feed the settings model and show what the actions report.
class UtilitiesScreen : public QWidget, private core::StatusLine, private Display {
    Q_OBJECT
public:
    UtilitiesScreen(screens::Services &services, QWidget *parent = nullptr);
    ~UtilitiesScreen() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void setStatus(const QString &text) override;
    void showIdentification(const QString &text) override;
    void showControllerTime(const QString &text) override;
    void showMemoryUsage(const MemoryUsage &usage) override;
    void showTransferStart(const QString &pcTime) override;
    void showTransferEnd(const QString &pcTime) override;
    void showHsTest(const QString &text) override;
    void showNote(const QString &text) override;
    void loadFromModel();
    void tick();
    void setBusy(bool busy);

    screens::Services &m_services;
    std::unique_ptr<Actions> m_actions;
    std::unique_ptr<Clicks> m_clicks;
    core::LabelButton *m_label[25] = {};
    QLineEdit *m_text1[3] = {};
    QLineEdit *m_text2 = nullptr;
    QRadioButton *m_option[4] = {};
    QCheckBox *m_check[3] = {};
    QPlainTextEdit *m_text4 = nullptr;
    QLabel *m_label3 = nullptr;
    QLabel *m_label4 = nullptr;
    QLabel *m_note = nullptr; // under the status line
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QTimer *m_timer1 = nullptr;
};

} // namespace utilities
