#include "link/lowlatency.h"

#ifdef __linux__
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace wire {

LowLatency requestLowLatency(int handle)
{
#ifdef __linux__
    serial_struct serial{};
    if (::ioctl(handle, TIOCGSERIAL, &serial) != 0)
        return LowLatency::Refused;
    serial.flags |= ASYNC_LOW_LATENCY;
    return ::ioctl(handle, TIOCSSERIAL, &serial) == 0 ? LowLatency::Granted : LowLatency::Refused;
#else
    (void)handle;
    return LowLatency::Refused;
#endif
}

} // namespace wire
