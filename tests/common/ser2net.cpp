#include "tests/common/ser2net.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QThread>

#include <memory>
#include <vector>

namespace testing {

namespace {
// Another program may take a port between our choosing it and ser2net
// binding it: then the start is tried again on others.
constexpr int kStartTries = 3;
constexpr int kListenWaitMs = 5000;

// Ports free on 127.0.0.1 at this moment.
QList<quint16> freePorts(int n)
{
    std::vector<std::unique_ptr<QTcpServer>> holders;
    QList<quint16> ports;
    for (int i = 0; i < n; ++i) {
        auto &server = holders.emplace_back(std::make_unique<QTcpServer>());
        server->listen(QHostAddress::LocalHost, 0);
        ports.append(server->serverPort());
    }
    return ports;
}

// Whether something listens on 127.0.0.1:port, read from the kernel's table
// so that no connection disturbs the server.
bool listening(quint16 port)
{
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray local = QByteArray("0100007F:") + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields.at(1) == local && fields.at(3) == "0A")
            return true;
    }
    return false;
}
} // namespace

Ser2net::~Ser2net() { stop(); }

bool Ser2net::start(const QString &device, QString *error)
{
    // It lives in sbin, which an ordinary user's PATH may lack.
    QString program = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
    if (program.isEmpty())
        program = QStandardPaths::findExecutable(QStringLiteral("ser2net"),
                                                 {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    if (program.isEmpty()) {
        *error = QStringLiteral("ser2net not found: install the Debian package ser2net (scripts/deps.sh does)");
        return false;
    }
    for (int attempt = 0; attempt < kStartTries; ++attempt) {
        if (tryStart(program, device, error))
            return true;
    }
    return false;
}

bool Ser2net::tryStart(const QString &program, const QString &device, QString *error)
{
    stop();
    const QList<quint16> ports = freePorts(2);
    m_rfc2217Port = ports.at(0);
    m_rawPort = ports.at(1);
    const QString connector = QStringLiteral("serialdev,%1,9600n81,local").arg(device);
    QFile config(m_dir.filePath(QStringLiteral("ser2net.yaml")));
    if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("cannot write %1").arg(config.fileName());
        return false;
    }
    config.write(QStringLiteral("%YAML 1.1\n---\n"
                                "connection: &rfc2217\n"
                                "  accepter: telnet(rfc2217),tcp,127.0.0.1,%1\n"
                                "  connector: %3\n"
                                "  options:\n"
                                "    chardelay: false\n"
                                "connection: &raw\n"
                                "  accepter: tcp,127.0.0.1,%2\n"
                                "  connector: %3\n"
                                "  options:\n"
                                "    chardelay: false\n")
                     .arg(m_rfc2217Port)
                     .arg(m_rawPort)
                     .arg(connector)
                     .toUtf8());
    config.close();
    m_process.setProgram(program);
    m_process.setArguments({QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-P"),
                            m_dir.filePath(QStringLiteral("ser2net.pid")), QStringLiteral("-c"), config.fileName()});
    m_process.start();
    if (!m_process.waitForStarted(kListenWaitMs)) {
        *error = QStringLiteral("%1 did not start: %2").arg(program, m_process.errorString());
        return false;
    }
    QDeadlineTimer deadline(kListenWaitMs);
    while (!(listening(m_rfc2217Port) && listening(m_rawPort))) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning) {
            *error = QStringLiteral("ser2net is not listening on ports %1 and %2: %3")
                         .arg(m_rfc2217Port)
                         .arg(m_rawPort)
                         .arg(QString::fromLocal8Bit(m_process.readAllStandardError()).trimmed());
            return false;
        }
        QThread::msleep(10);
    }
    return true;
}

void Ser2net::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

} // namespace testing
