#pragma once

#include <QString>
#include <QStringList>

namespace wire {

// Why a serial device could not be opened, as far as the system tells.
struct SerialOpenFailure {
    enum class Reason { Missing, Busy, Forbidden, Other };
    Reason reason = Reason::Other;
    QString device;
    QStringList holders;         // "PID (name)" of the processes known to hold it (busy)
    QString group;               // the group that owns the device (forbidden)
    QString user;                // who we run as (forbidden)
    QString detail;              // the system's own words (other)
    bool builtInPort = false;    // one of the computer's own ports (/dev/ttyS…), not an adapter
    bool brailleService = false; // a braille-display service that claims USB adapters runs here
};

// Looks at the device the way the open did (it exists, it opens, who holds it)
// and says why it failed. `systemText` is the transport's own error text,
// kept for reasons this cannot tell apart.
SerialOpenFailure diagnoseSerialOpen(const QString &device, const QString &systemText);

// One line for the technician: the device, the reason and what to do.
QString describe(const SerialOpenFailure &failure);

} // namespace wire
