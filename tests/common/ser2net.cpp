#include "tests/common/ser2net.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QThread>

namespace testing {

namespace {
// Whether something listens on 127.0.0.1:port, read from the kernel's table
// so that no connection disturbs the server.
bool listening(quint16 port)
{
    QFile table(QStringLiteral("/proc/net/tcp"));
    const QByteArray local = "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray &line : table.open(QIODevice::ReadOnly) ? table.readAll().split('\n') : QByteArrayList()) {
        const QByteArrayList fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields.at(1) == local && fields.at(3) == "0A")
            return true;
    }
    return false;
}
} // namespace

Ser2net::~Ser2net()
{
    m_process.terminate();
    if (!m_process.waitForFinished(3000))
        m_process.kill();
    m_process.waitForFinished(3000);
}

bool Ser2net::start(const QString &device, QString *error)
{
    // It lives in sbin, which an ordinary user's PATH may lack.
    QString program = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
    if (program.isEmpty())
        program = QStandardPaths::findExecutable(QStringLiteral("ser2net"), {QStringLiteral("/usr/sbin")});
    if (program.isEmpty()) {
        *error = QStringLiteral("ser2net not found: install the Debian package ser2net (scripts/deps.sh does)");
        return false;
    }
    {
        QTcpServer holders[2];
        for (int i = 0; i < 2; ++i) {
            holders[i].listen(QHostAddress::LocalHost, 0);
            m_ports[i] = holders[i].serverPort();
        }
    }
    const QString accepters[2] = {QStringLiteral("telnet(rfc2217),tcp,127.0.0.1,%1").arg(m_ports[0]),
                                  QStringLiteral("tcp,127.0.0.1,%1").arg(m_ports[1])};
    QString config = QStringLiteral("%YAML 1.1\n---\n");
    for (int i = 0; i < 2; ++i)
        config += QStringLiteral("connection: &c%1\n  accepter: %2\n  connector: serialdev,%3,9600n81,local\n"
                                 "  options:\n    chardelay: false\n")
                      .arg(QString::number(i), accepters[i], device);
    QFile file(m_dir.filePath(QStringLiteral("ser2net.yaml")));
    if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0 || !file.flush()) {
        *error = QStringLiteral("cannot write %1").arg(file.fileName());
        return false;
    }
    m_process.start(program,
                    {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-P"),
                     m_dir.filePath(QStringLiteral("ser2net.pid")), QStringLiteral("-c"), file.fileName()});
    const QDeadlineTimer deadline(5000);
    m_process.waitForStarted(5000);
    while (!(listening(m_ports[0]) && listening(m_ports[1]))) {
        if (deadline.hasExpired() || m_process.state() != QProcess::Running) {
            const QString said = QString::fromLocal8Bit(m_process.readAllStandardError()).trimmed();
            *error = QStringLiteral("%1 is not listening on ports %2 and %3: %4")
                         .arg(program)
                         .arg(m_ports[0])
                         .arg(m_ports[1])
                         .arg(said.isEmpty() ? m_process.errorString() : said);
            return false;
        }
        QThread::msleep(10);
    }
    return true;
}

int lineSpeed(const QString &device)
{
    QProcess stty;
    stty.start(QStringLiteral("stty"), {QStringLiteral("-F"), device, QStringLiteral("speed")});
    stty.waitForFinished();
    return stty.readAllStandardOutput().trimmed().toInt();
}

} // namespace testing
