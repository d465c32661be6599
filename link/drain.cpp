#include "link/drain.h"

#include <QElapsedTimer>

namespace wire {

namespace {
constexpr qint64 kStallMs = 1000;
constexpr qint64 kLongestMs = 5000;
constexpr int kStepMs = 50;
} // namespace

void drainQueuedWrites(QIODevice &device)
{
    qint64 left = device.bytesToWrite();
    QElapsedTimer total;
    QElapsedTimer sinceProgress;
    total.start();
    sinceProgress.start();
    while (left > 0 && device.isOpen() && sinceProgress.elapsed() < kStallMs && total.elapsed() < kLongestMs) {
        device.waitForBytesWritten(kStepMs);
        const qint64 now = device.bytesToWrite();
        if (now < left)
            sinceProgress.restart();
        left = now;
    }
}

} // namespace wire
