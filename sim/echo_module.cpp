#include "sim/echo_module.h"

#include <QCommandLineParser>
#include <QElapsedTimer>

#include <cstdio>
#include <memory>

namespace sim {

namespace {
const QByteArray kWakeup = QByteArrayLiteral("\x00\x1b\x0d\x00\x1b\x0d");

bool parseValues(const QStringList &texts, QSet<int> &out)
{
    for (const QString &t : texts) {
        bool ok = false;
        const int v = t.toInt(&ok, 0);
        if (!ok || v < 0 || v > 255)
            return false;
        out.insert(v);
    }
    return true;
}
} // namespace

// Echo state on one transport.
class EchoModule::Session {
public:
    Session(const EchoModule &module, Controller &controller) : m_module(module), m_controller(controller)
    {
        m_quiet.start();
    }

    bool take(char c)
    {
        const qint64 quiet = m_quiet.restart();
        if (m_echoing && quiet > kQuietExitMs)
            m_echoing = false;
        const bool afterWakeup = m_tail == kWakeup;
        m_tail.append(c);
        if (m_tail.size() > kWakeup.size())
            m_tail.remove(0, 1);
        if (c == '*' && afterWakeup) {
            // A start marker (again): echo from the next byte on.
            m_echoing = true;
            return true;
        }
        if (!m_echoing)
            return false;
        const auto b = static_cast<quint8>(c);
        if (m_module.m_drop.contains(b))
            return true;
        const char back = m_module.m_corrupt.contains(b) ? static_cast<char>(b + 1) : c;
        m_controller.sendRaw(QByteArray(1, back));
        return true;
    }

    // A new peer starts outside echo mode.
    void restart()
    {
        m_echoing = false;
        m_tail.clear();
    }

private:
    const EchoModule &m_module;
    Controller &m_controller;
    QElapsedTimer m_quiet;
    QByteArray m_tail;
    bool m_echoing = false;
};

void EchoModule::addOptions(QCommandLineParser &parser)
{
    parser.addOption({QStringLiteral("echo-corrupt"),
                      QStringLiteral("In echo mode, answer VALUE with VALUE + 1 (repeatable)."),
                      QStringLiteral("VALUE")});
    parser.addOption({QStringLiteral("echo-drop"), QStringLiteral("In echo mode, never echo VALUE (repeatable)."),
                      QStringLiteral("VALUE")});
}

bool EchoModule::configure(const QCommandLineParser &parser, QString *error)
{
    if (!parseValues(parser.values(QStringLiteral("echo-corrupt")), m_corrupt)) {
        *error = QStringLiteral("--echo-corrupt takes a byte value 0 to 255");
        return false;
    }
    if (!parseValues(parser.values(QStringLiteral("echo-drop")), m_drop)) {
        *error = QStringLiteral("--echo-drop takes a byte value 0 to 255");
        return false;
    }
    return true;
}

void EchoModule::place(const Placement &placement)
{
    if (!placement.faults) {
        m_corrupt.clear();
        m_drop.clear();
    }
}

void EchoModule::install(Controller &controller)
{
    auto session = std::make_shared<Session>(*this, controller);
    controller.addInterceptor([session](char c) { return session->take(c); });
    controller.addSessionStart([session] { session->restart(); });
}

} // namespace sim
