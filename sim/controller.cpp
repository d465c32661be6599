#include "sim/controller.h"

namespace sim {

Controller::Controller(Options options) : m_options(std::move(options)) {}

void Controller::resetSession()
{
    m_line.clear();
    for (auto &onStart : m_sessionStarts)
        onStart();
}

void Controller::addSessionStart(std::function<void()> onStart) { m_sessionStarts.push_back(std::move(onStart)); }

void Controller::addDataWipe(std::function<void()> onWipe) { m_dataWipes.push_back(std::move(onWipe)); }

void Controller::wipeData() const
{
    for (const auto &wipe : m_dataWipes)
        wipe();
}

void Controller::addLineHandler(LineHandler handler) { m_handlers.push_back(std::move(handler)); }

void Controller::addInterceptor(ByteInterceptor interceptor) { m_interceptors.push_back(std::move(interceptor)); }

void Controller::sendRaw(const QByteArray &bytes) const
{
    if (send)
        send(bytes);
}

void Controller::reply(const QByteArray &line) const { sendRaw(line + '\r'); }

void Controller::feed(const QByteArray &bytes)
{
    for (const char b : bytes) {
        bool taken = false;
        for (auto &intercept : m_interceptors) {
            if (intercept(b)) {
                taken = true;
                break;
            }
        }
        if (taken)
            continue;
        if (b == '\r') {
            const QByteArray line = m_line;
            m_line.clear();
            onLine(line);
        } else if (m_line.size() < 4096) {
            m_line.append(b);
        }
    }
}

void Controller::onLine(const QByteArray &line)
{
    // The wake-up carriage returns need no answer.
    if (line.isEmpty())
        return;
    for (const QByteArray &silent : m_options.silentOn)
        if (line.startsWith(silent))
            return;
    for (auto &handler : m_handlers)
        if (handler(line))
            return;
    reply(m_options.ack);
}

} // namespace sim
