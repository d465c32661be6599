#pragma once

#include <QIODevice>

namespace wire {

// Waits until every byte queued on device has been handed to the system, as
// long as the line keeps taking them: a line that takes nothing for a second,
// or a drain that has run for five, ends the wait (the rest is lost with the
// close that follows). Used just before a close, so that the last bytes
// written (a reset, the last frame of a download) are not thrown away.
void drainQueuedWrites(QIODevice &device);

} // namespace wire
