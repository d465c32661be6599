#pragma once

namespace wire {

// What the serial driver said when asked to pass received bytes on at once.
enum class LowLatency { NotAsked, Granted, Refused };

// Asks the driver behind an open serial port's handle for low latency. A USB
// adapter otherwise holds received bytes for up to 16 ms, and a stop-and-wait
// download waits for a one-byte acknowledgement after every frame. Ports that
// cannot do it (a pseudo-terminal, other systems) refuse; that is harmless.
LowLatency requestLowLatency(int handle);

} // namespace wire
