#pragma once

#include "screens/services.h"

#include <QWidget>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace wire {

// `commform`: how to reach the controller, and the connect/disconnect actions.
class CommForm : public QWidget {
    Q_OBJECT
public:
    CommForm(screens::Services &services, QWidget *parent = nullptr);
    // Shows the model's selections (after the start-up defaults).
    void refreshFromModel();

protected:
    // The device list is read again each time the screen is shown, so an
    // adapter plugged in meanwhile appears.
    void showEvent(QShowEvent *event) override;

private:
    void listDevices();

    screens::Services &m_services;
    QRadioButton *m_tcp;
    QRadioButton *m_serial;
    QButtonGroup *m_ports;
    QButtonGroup *m_bauds;
    QLineEdit *m_ip;
    QLineEdit *m_tcpPort;
    QComboBox *m_device;
    QLabel *m_why; // why the last connect failed; empty otherwise
};

} // namespace wire
