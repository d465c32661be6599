#pragma once

#include <QList>
#include <QString>

namespace wire {

// A serial port as the system reports it, for the Device field's list.
struct SerialPort {
    QString location;     // e.g. /dev/ttyUSB0
    QString byId;         // its /dev/serial/by-id link; empty when it has none
    QString manufacturer; // what the adapter reports; any may be empty
    QString product;
    QString serialNumber;

    bool operator==(const SerialPort &) const = default;

    // The by-id name outlives a re-plug (ttyUSB0 may come back as ttyUSB1),
    // so it is the path a pick stores.
    QString path() const { return byId.isEmpty() ? location : byId; }
    // "by-id name — manufacturer, product, serial number", or the bare path.
    QString label() const;
};

QList<SerialPort> availableSerialPorts();

} // namespace wire
