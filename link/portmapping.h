#pragma once

#include <QString>

namespace wire {

// The device behind comm port n (1..5): "COMn" on Windows, /dev/ttyS(n-1) on
// Linux and other Unix systems. A non-empty device field (a USB adapter, a
// pseudo-terminal) takes its place.
QString serialDeviceFor(int port, const QString &deviceField);

} // namespace wire
