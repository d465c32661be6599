#pragma once

#include "core/appstate.h"

#include <QString>
#include <QStringList>

namespace wire {

// The communications screen's model: its option groups and text fields.
// Selecting an option here is the same as the user's click on the screen: it
// updates the shared application state too.
struct CommSettings {
    enum class Mode { None, Tcp, Serial };

    Mode mode = Mode::None; // "TCP/IP" Option1 / "Serial Port" Option2
    int port = 0;           // "1".."5"; 0 while nothing is selected
    qint32 baud = 0;        // "9600".."115200"; 0 while nothing is selected
    QString ipAddress;      // Text1
    QString tcpPort;        // Text3, digits only
    QString device;         // when not empty, used instead of the port mapping
};

inline const QList<qint32> &baudChoices()
{
    static const QList<qint32> choices{9600, 19200, 38400, 57600, 115200};
    return choices;
}

void selectMode(CommSettings &comm, core::AppState &state, CommSettings::Mode mode);
void selectPort(CommSettings &comm, core::AppState &state, int port);
void selectBaud(CommSettings &comm, core::AppState &state, qint32 baud);
void setIpText(CommSettings &comm, core::AppState &state, const QString &text);
void setPortText(CommSettings &comm, core::AppState &state, const QString &text);

// The communications screen's share of the start-up defaults.
inline const QString kDefaultIpAddress = QStringLiteral("192.168.1.57");
void applyCommDefaults(CommSettings &comm, core::AppState &state);

// Serial settings string as the controller documentation writes it, e.g. "9600,N,8,1".
QString serialSettingsString(qint32 baud);

} // namespace wire
