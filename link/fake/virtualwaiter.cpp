#include "link/fake/virtualwaiter.h"

namespace wire::fake {

void VirtualWaiter::after(Ms delay, std::function<void()> fn)
{
    m_events.emplace(std::make_pair(m_now + delay, m_seq++), std::move(fn));
}

void VirtualWaiter::runDue()
{
    while (!m_events.empty() && m_events.begin()->first.first <= m_now) {
        auto fn = std::move(m_events.begin()->second);
        m_events.erase(m_events.begin());
        fn();
    }
}

void VirtualWaiter::advance(Ms by)
{
    const Ms target = m_now + by;
    while (!m_events.empty() && m_events.begin()->first.first <= target) {
        m_now = std::max(m_now, m_events.begin()->first.first);
        runDue();
    }
    m_now = target;
}

bool VirtualWaiter::waitUntil(const std::function<bool()> &cond, Ms deadline)
{
    for (;;) {
        runDue();
        if (m_onPass)
            m_onPass();
        if (cond())
            return true;
        if (quitting() || m_now >= deadline)
            return false;
        Ms next = deadline;
        if (!m_events.empty() && m_events.begin()->first.first < next)
            next = m_events.begin()->first.first;
        m_now = next;
    }
}

} // namespace wire::fake
