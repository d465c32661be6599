#include "sim/pacer.h"

#include "sim/endpoint.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/timerfd.h>
#include <unistd.h>

namespace sim {

Pacer::Pacer(int baud, QObject *parent) : QObject(parent), m_byteNs((10'000'000'000LL + baud - 1) / baud)
{
    m_fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd < 0) {
        std::fprintf(stderr, "tarnic-sim: no timer for pacing: %s\n", strerror(errno));
        std::exit(1);
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &Pacer::fire);
}

Pacer::~Pacer() { ::close(m_fd); }

qint64 Pacer::nowNs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<qint64>(ts.tv_sec) * 1'000'000'000LL + ts.tv_nsec;
}

void Pacer::wakeAt(Endpoint *endpoint, qint64 at)
{
    if (endpoint->m_wakeAt >= 0)
        m_due.erase({endpoint->m_wakeAt, endpoint});
    endpoint->m_wakeAt = at < 0 ? -1 : (at + m_byteNs - 1) / m_byteNs * m_byteNs;
    if (endpoint->m_wakeAt >= 0)
        m_due.insert({endpoint->m_wakeAt, endpoint});
    arm();
}

void Pacer::fire()
{
    quint64 expirations = 0;
    [[maybe_unused]] const ssize_t n = ::read(m_fd, &expirations, sizeof expirations);
    const qint64 now = nowNs();
    while (!m_due.empty() && m_due.begin()->first <= now) {
        Endpoint *endpoint = m_due.begin()->second;
        m_due.erase(m_due.begin());
        endpoint->m_wakeAt = -1;
        endpoint->deliverDue(); // may ask for its next wake-up
    }
    arm();
}

void Pacer::arm()
{
    itimerspec spec{};
    if (!m_due.empty()) {
        // An absolute zero would disarm the timer; anything past is due at once.
        const qint64 at = std::max<qint64>(m_due.begin()->first, 1);
        spec.it_value.tv_sec = at / 1'000'000'000LL;
        spec.it_value.tv_nsec = at % 1'000'000'000LL;
    }
    ::timerfd_settime(m_fd, TFD_TIMER_ABSTIME, &spec, nullptr);
}

} // namespace sim
