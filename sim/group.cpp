#include "sim/group.h"

#include "sim/controller.h"
#include "sim/endpoint.h"
#include "sim/module.h"
#include "sim/pacer.h"
#include "sim/state_out.h"

#include <QEventLoop>
#include <QFile>
#include <QThread>

namespace sim {

// One controller: modules of its own (its data, clock, image and boot code),
// a state machine per transport so that a half line on one never mixes with
// the other, and the endpoints that carry its bytes.
struct Served {
    std::vector<std::unique_ptr<Module>> modules;
    Controller serialSide{{}};
    Controller tcpSide{{}};
    std::unique_ptr<PtyEndpoint> pty;
    std::unique_ptr<TcpEndpoint> tcp;

    QByteArray stateJson() const
    {
        ControllerState state;
        for (const auto &m : modules)
            m->snapshot(state);
        return sim::stateJson(state);
    }
};

Group::Group(const Setup &setup, int first, int last) : m_setup(setup), m_first(first), m_last(last) {}

Group::~Group()
{
    if (!m_thread)
        return;
    m_thread->quit(); // ends the loop in run(), which then takes its controllers down
    m_thread->wait();
    delete m_thread;
}

bool Group::start(QStringList *lines, QString *error)
{
    m_thread = QThread::create([this] { run(); });
    m_thread->start();
    m_built.acquire();
    *lines = m_lines;
    *error = m_error;
    return m_ok;
}

void Group::run()
{
    const std::unique_ptr<Pacer> pacer = m_setup.pace > 0 ? std::make_unique<Pacer>(m_setup.pace) : nullptr;
    std::vector<std::unique_ptr<Served>> served;
    m_ok = build(pacer.get(), served);
    const bool ok = m_ok;
    m_built.release();
    if (!ok)
        return;
    QEventLoop loop;
    loop.exec();
    // What the controllers hold as the simulator ends.
    if (m_setup.stateOut)
        for (size_t i = 0; i < served.size(); ++i)
            m_setup.stateOut->set(m_first + static_cast<int>(i), served[i]->stateJson());
}

bool Group::build(Pacer *pacer, std::vector<std::unique_ptr<Served>> &served)
{
    const QCommandLineParser &parser = *m_setup.parser;
    for (int index = m_first; index <= m_last; ++index) {
        auto &c = *served.emplace_back(std::make_unique<Served>());
        c.modules = makeModules();
        Module::Placement placement;
        placement.index = index;
        placement.faults = m_setup.faultOn.isEmpty() || m_setup.faultOn.contains(index);
        if (const auto given = m_setup.state.find(index); given != m_setup.state.end())
            placement.state = &given->second;
        if (StateOut *out = m_setup.stateOut)
            placement.changed = [out, index, &c] { out->update(index, c.stateJson()); };
        for (auto &m : c.modules) {
            m->configure(parser, &m_error); // checked by the caller once
            m->place(placement);
            m->install(c.serialSide);
            m->install(c.tcpSide);
        }
        if (m_setup.stateOut)
            m_setup.stateOut->set(index, c.stateJson());
        if (m_setup.pty) {
            c.pty = std::make_unique<PtyEndpoint>(c.serialSide, pacer);
            if (!c.pty->open(&m_error)) {
                m_error = QStringLiteral("cannot create a pseudo-terminal: %1").arg(m_error);
                return false;
            }
            if (!m_setup.ptyLink.isEmpty()) {
                QFile::remove(m_setup.ptyLink);
                QFile::link(c.pty->slavePath(), m_setup.ptyLink);
            }
            m_lines.append(QStringLiteral("pty: %1").arg(c.pty->slavePath()));
        }
        if (m_setup.tcp) {
            c.tcp = std::make_unique<TcpEndpoint>(c.tcpSide, pacer);
            const uint port = m_setup.firstPort == 0 ? 0 : m_setup.firstPort + index - 1;
            if (!c.tcp->listen(m_setup.listen, static_cast<quint16>(port), &m_error)) {
                m_error = QStringLiteral("cannot listen: %1").arg(m_error);
                return false;
            }
            m_lines.append(QStringLiteral("tcp: %1:%2").arg(m_setup.listen).arg(c.tcp->port()));
        }
    }
    return true;
}

} // namespace sim
