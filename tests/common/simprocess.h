#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

namespace testing {

// A tarnic-sim child process (the path comes from $TARNIC_SIM). start() waits
// for it to print its pseudo-terminal paths and/or TCP ports, one of each per
// controller.
class SimProcess {
public:
    ~SimProcess();
    bool start(const QStringList &arguments);
    void stop();
    QString ptyPath() const { return m_ptys.value(0); }
    quint16 tcpPort() const { return m_ports.value(0); }
    const QStringList &ptyPaths() const { return m_ptys; }
    const QList<quint16> &tcpPorts() const { return m_ports; }
    QProcess &process() { return m_process; }

private:
    QProcess m_process;
    QStringList m_ptys;
    QList<quint16> m_ports;
};

// tarnic-cli's link options for the simulator's TCP port or pseudo-terminal.
QStringList cliLinkArgs(const SimProcess &sim, bool tcp);

// Runs tarnic-cli ($TARNIC_CLI) to its end, with input on its stdin; inChild
// runs in the child before it starts (limits for it alone).
struct CliRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};
CliRun runCli(const QStringList &arguments, int timeoutMs = 30000, const QByteArray &input = {},
              const std::function<void()> &inChild = {});

} // namespace testing
