#include "tests/common/simprocess.h"

#include <QDeadlineTimer>

namespace testing {

SimProcess::~SimProcess() { stop(); }

bool SimProcess::start(const QStringList &arguments)
{
    m_process.setProgram(qEnvironmentVariable("TARNIC_SIM"));
    m_process.setArguments(arguments);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start();
    if (!m_process.waitForStarted(5000))
        return false;
    const bool wantPty = arguments.contains(QStringLiteral("--pty"));
    const bool wantTcp = arguments.contains(QStringLiteral("--tcp"));
    QDeadlineTimer deadline(10000);
    QByteArray seen;
    while ((wantPty && m_pty.isEmpty()) || (wantTcp && m_port == 0)) {
        if (deadline.hasExpired() || !m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            return false;
        seen += m_process.readAllStandardOutput();
        for (const QByteArray &line : seen.split('\n')) {
            if (line.startsWith("pty: "))
                m_pty = QString::fromLocal8Bit(line.mid(5)).trimmed();
            if (line.startsWith("tcp: "))
                m_port = static_cast<quint16>(line.mid(line.lastIndexOf(':') + 1).trimmed().toUInt());
        }
    }
    return true;
}

void SimProcess::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
}

QStringList cliLinkArgs(const SimProcess &sim, bool tcp)
{
    return tcp ? QStringList{QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:%1").arg(sim.tcpPort())}
               : QStringList{QStringLiteral("--serial"), sim.ptyPath()};
}

CliRun runCli(const QStringList &arguments, int timeoutMs)
{
    QProcess p;
    p.start(qEnvironmentVariable("TARNIC_CLI"), arguments);
    CliRun run;
    if (!p.waitForStarted(5000))
        return run;
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return run;
    }
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.out = p.readAllStandardOutput();
    run.err = p.readAllStandardError();
    return run;
}

} // namespace testing
