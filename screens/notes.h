#pragma once

#include <QString>

namespace screens {

// The line of our own a screen or the command menu shows when an action
// needs the link and it is closed.
inline const QString kNotConnectedNote = QStringLiteral("Not connected: connect on Communications first");
// What the journal says of an operation the program's closing ended.
inline const QString kProgramClosed = QStringLiteral("the program was closed");

} // namespace screens
