#pragma once

#include "link/endpoint.h"

#include <QList>
#include <QString>

namespace wire {

// The communications screen's model: what the user selected. It is the one
// record of the selection; what the link actually opened is the link's own
// (Link::opened()). The selections take effect at the next connect.
struct CommSettings {
    using Mode = LinkKind;

    Mode mode = Mode::Serial; // "TCP/IP" Option1 / "Serial Port" Option2 / device server
                              // (RFC 2217) on the address and port at the baud rate
    int port = 0;             // "1".."5"; 0 while nothing is selected
    qint32 baud = 0;          // "9600".."115200"; 0 while nothing is selected
    QString ipAddress;        // Text1
    QString tcpPort;          // Text3, digits only
    QString device;           // when not empty, used instead of the port mapping

    // The device path that takes the numbered port's place; empty when the
    // numbered port is in use.
    QString deviceInUse() const { return device.trimmed(); }
    // Selects endpoint as the screen would: its transport, and its device,
    // address and port and rate, as far as it has them.
    void select(const Endpoint &endpoint);
};

inline const QList<qint32> &baudChoices()
{
    static const QList<qint32> choices{9600, 19200, 38400, 57600, 115200};
    return choices;
}

// The communications screen's share of the start-up defaults.
inline const QString kDefaultIpAddress = QStringLiteral("192.168.1.57");
void applyCommDefaults(CommSettings &comm);

// Serial settings string as the controller documentation writes it, e.g. "9600,N,8,1".
QString serialSettingsString(qint32 baud);

} // namespace wire
