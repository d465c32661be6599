#pragma once

#include <QByteArray>
#include <QList>

namespace fleet {

// The whole lines of buffer + more, a fleet's JSON Lines as they arrive from
// a pipe; what follows the last newline stays in buffer for the next read.
QList<QByteArray> takeLines(QByteArray &buffer, const QByteArray &more);

} // namespace fleet
