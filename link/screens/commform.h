#pragma once

#include "link/serialports.h"
#include "screens/services.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QStringListModel;
class QTimer;

namespace core {
class LabelButton;
}

namespace wire {

// `commform`: how to reach the controller, and the connect/disconnect actions.
class CommForm : public QWidget {
    Q_OBJECT
public:
    CommForm(screens::Services &services, QWidget *parent = nullptr);
    // Shows the model's selections (after the start-up defaults).
    void refreshFromModel();
    // Where the Device field's list comes from (the system's ports unless a
    // test says otherwise).
    using PortLister = std::function<QList<SerialPort>()>;
    void setPortLister(PortLister lister);

protected:
    // While the screen is visible the port list is polled, so an adapter
    // plugged in or pulled out shows at once.
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void listDevices();
    // The Device field's text to the model's device path: a listed port's
    // label stands for its path, anything else is a typed path.
    QString devicePathFor(const QString &text) const;
    void showDevice();
    // A device in use takes the numbered port's place, so none shows as chosen.
    void showPortChoice();
    void rememberWhatOpened();
    void showConnecting(const QString &peer);
    void endConnecting();

    screens::Services &m_services;
    QRadioButton *m_tcp;
    QRadioButton *m_serial;
    QRadioButton *m_deviceServer;
    QButtonGroup *m_ports;
    QButtonGroup *m_bauds;
    QLineEdit *m_ip;
    QLineEdit *m_tcpPort;
    QComboBox *m_device;
    QTimer *m_devicePoll;
    PortLister m_listPorts = availableSerialPorts;
    QList<SerialPort> m_listedPorts;
    QStringList m_listedRecent;
    QStringListModel *m_recentAddresses;
    QLabel *m_why; // why the last connect failed, or that one is under way
    core::LabelButton *m_cancel;
    QPointer<QWidget> m_focusBeforeConnect;
};

} // namespace wire
