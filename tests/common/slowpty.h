#pragma once

#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

namespace testing {

// The far end of a pseudo-terminal that reads slowly on a thread of its own,
// so that whoever writes to the device fills its output buffer.
class SlowPtyReader {
public:
    SlowPtyReader()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        ::grantpt(m_master);
        ::unlockpt(m_master);
        path = QString::fromLocal8Bit(::ptsname(m_master));
        // Held open so that the master never reads as hung up while the
        // program under test opens and closes the device.
        m_slave = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY);
    }
    ~SlowPtyReader()
    {
        if (m_reading.valid())
            m_reading.wait();
        ::close(m_slave);
        ::close(m_master);
    }
    SlowPtyReader(const SlowPtyReader &) = delete;
    SlowPtyReader &operator=(const SlowPtyReader &) = delete;

    // Starts taking up to n bytes, 1 KiB a millisecond; gives up after ten
    // seconds without a byte.
    void start(qsizetype n)
    {
        m_reading = std::async(std::launch::async, [this, n] {
            QByteArray got;
            char chunk[1024];
            auto lastByte = std::chrono::steady_clock::now();
            while (got.size() < n && std::chrono::steady_clock::now() - lastByte < std::chrono::seconds(10)) {
                pollfd p{m_master, POLLIN, 0};
                if (::poll(&p, 1, 100) <= 0)
                    continue;
                const ssize_t r = ::read(m_master, chunk, sizeof chunk);
                if (r > 0) {
                    got.append(chunk, static_cast<qsizetype>(r));
                    lastByte = std::chrono::steady_clock::now();
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return got;
        });
    }
    QByteArray received() { return m_reading.get(); }

    QString path;

private:
    int m_master = -1;
    int m_slave = -1;
    std::future<QByteArray> m_reading;
};

// n bytes of every value in a pattern that does not repeat with a short period.
inline QByteArray bulkPayload(qsizetype n)
{
    QByteArray bytes(n, Qt::Uninitialized);
    quint32 x = 2463534242U;
    for (qsizetype i = 0; i < n; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = static_cast<char>(x);
    }
    return bytes;
}

} // namespace testing
