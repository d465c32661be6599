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
    const int at = static_cast<int>(arguments.indexOf(QStringLiteral("--controllers")));
    const qsizetype controllers = at < 0 ? 1 : arguments.value(at + 1).toInt();
    const qsizetype wantPtys = arguments.contains(QStringLiteral("--pty")) ? controllers : 0;
    const qsizetype wantPorts = arguments.contains(QStringLiteral("--tcp")) ? controllers : 0;
    QDeadlineTimer deadline(10000);
    QByteArray seen;
    while (m_ptys.size() < wantPtys || m_ports.size() < wantPorts) {
        if (deadline.hasExpired() || !m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            return false;
        seen += m_process.readAllStandardOutput();
        // Whole lines only; the rest waits for the next read.
        const qsizetype end = seen.lastIndexOf('\n') + 1;
        for (const QByteArray &line : seen.left(end).split('\n')) {
            if (line.startsWith("pty: "))
                m_ptys.append(QString::fromLocal8Bit(line.mid(5)).trimmed());
            if (line.startsWith("tcp: "))
                m_ports.append(static_cast<quint16>(line.mid(line.lastIndexOf(':') + 1).trimmed().toUInt()));
        }
        seen.remove(0, end);
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

CliRun runCli(const QStringList &arguments, int timeoutMs, const QByteArray &input,
              const std::function<void()> &inChild)
{
    QProcess p;
    if (inChild)
        p.setChildProcessModifier(inChild);
    p.start(qEnvironmentVariable("TARNIC_CLI"), arguments);
    CliRun run;
    if (!p.waitForStarted(5000))
        return run;
    p.write(input);
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
