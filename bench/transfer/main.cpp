// Access-list transfer benchmark: 10,000 records down to an unpaced
// tarnic-sim and back up, over TCP and a pseudo-terminal, through the
// program's own actions; and the same exchanges as a plain blocking
// request/reply loop on the bare file descriptor, for comparison.
//   build/bench/transfer/bench_transfer [RECORDS [ROUNDS]]
#include "bench/common/plainsocket.h"
#include "tests/common/liverig.h"
#include "utilities/actions.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <vector>

#include <arpa/inet.h>
#include <cstdio>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A blocking request/reply loop on a raw descriptor: write one line, read
// until the carriage return.
class PlainLoop {
public:
    explicit PlainLoop(int fd) : m_fd(fd) {}
    ~PlainLoop()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool ok() const { return m_fd >= 0; }
    bool exchange(const QByteArray &line, QByteArray &reply)
    {
        const QByteArray out = line + '\r';
        qsizetype sent = 0;
        while (sent < out.size()) {
            const ssize_t n = ::write(m_fd, out.constData() + sent, static_cast<size_t>(out.size() - sent));
            if (n <= 0)
                return false;
            sent += n;
        }
        reply.clear();
        for (;;) {
            const qsizetype cr = m_buffer.indexOf('\r');
            if (cr >= 0) {
                reply = m_buffer.left(cr);
                m_buffer.remove(0, cr + 1);
                return true;
            }
            char chunk[4096];
            const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
            if (n <= 0)
                return false;
            m_buffer.append(chunk, n);
        }
    }

private:
    int m_fd;
    QByteArray m_buffer;
};

int openPty(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return -1;
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

struct Rates {
    double download = 0;
    double upload = 0;
    double linkOnly = 0; // the upload's exchanges on the bare link, no file or status
};

QByteArray recordFile(int records)
{
    QByteArray out;
    for (int i = 0; i < records; ++i)
        out += QByteArray::number(10000000 + i) + "\r\n";
    return out;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double perSecond(int records, qint64 ns) { return ns > 0 ? records * 1e9 / static_cast<double>(ns) : 0; }

// The plain loop: AN records down, then ur/u.. up.
bool plainRun(PlainLoop &loop, const QByteArray &file, int records, Rates &rates)
{
    QByteArray reply;
    QElapsedTimer t;
    t.start();
    for (const QByteArray &line : file.split('\n')) {
        const QByteArray id = line.trimmed();
        if (id.isEmpty())
            continue;
        if (!loop.exchange("AN00000000000" + id, reply) || !reply.startsWith('A'))
            return false;
    }
    rates.download = perSecond(records, t.nsecsElapsed());
    if (!loop.exchange("z", reply) || !loop.exchange("ur", reply) || reply != "OK")
        return false;
    t.restart();
    int got = 0;
    for (;;) {
        if (!loop.exchange("u", reply))
            return false;
        if (reply == "END")
            break;
        ++got;
    }
    rates.upload = perSecond(got, t.nsecsElapsed());
    return got == records;
}

// The program's actions on its own link.
bool programRun(testing::SimProcess &sim, bool overTcp, const QString &down, const QString &up, int records,
                Rates &rates)
{
    testing::LiveRig rig;
    if (!rig.connectTo(sim, overTcp))
        return false;
    utilities::Actions actions(rig.link, rig.ui);
    const utilities::ListOptions adHoc;
    QElapsedTimer t;
    t.start();
    if (actions.download_accesslist(down, adHoc).outcome != utilities::Outcome::Done)
        return false;
    rates.download = perSecond(records, t.nsecsElapsed());
    t.restart();
    if (actions.upload_accesslist(up, adHoc).outcome != utilities::Outcome::Done)
        return false;
    rates.upload = perSecond(records, t.nsecsElapsed());
    // The same exchanges straight on the link: what the action adds on top.
    rig.link.SendCommand("ur");
    if (const wire::ReplyLine ok = rig.link.ReadReplyLine(); ok.timedOut || ok.text != "OK")
        return false;
    t.restart();
    int got = 0;
    for (;;) {
        if (!rig.link.SendCommand("u"))
            return false;
        const wire::ReplyLine reply = rig.link.ReadReplyLine();
        if (reply.timedOut)
            return false;
        if (reply.text == "END")
            break;
        ++got;
    }
    rates.linkOnly = perSecond(got, t.nsecsElapsed());
    QFile a(down);
    QFile b(up);
    return a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly) && a.readAll() == b.readAll();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("TARNIC_SIM"))
        qputenv("TARNIC_SIM", TARNIC_SIM_PATH);
    const int records = argc > 1 ? QByteArray(argv[1]).toInt() : 10000;
    QTemporaryDir dir;
    const QString down = dir.filePath(QStringLiteral("down.txt"));
    const QString up = dir.filePath(QStringLiteral("up.txt"));
    const QByteArray file = recordFile(records);
    {
        QFile f(down);
        if (!f.open(QIODevice::WriteOnly) || f.write(file) != file.size())
            return 1;
    }
    // Plain and program runs alternate, each on a fresh controller, and the
    // medians are compared: the machine's load then weighs on both alike.
    const int rounds = argc > 2 ? QByteArray(argv[2]).toInt() : 3;
    const QStringList simArgs{QStringLiteral("--pty"), QStringLiteral("--tcp"), QStringLiteral("0")};
    int failures = 0;
    for (const bool overTcp : {true, false}) {
        const char *name = overTcp ? "tcp" : "pty";
        std::vector<double> plainDown;
        std::vector<double> plainUp;
        std::vector<double> programDown;
        std::vector<double> programUp;
        std::vector<double> linkOnly;
        for (int round = 0; round < rounds; ++round) {
            Rates plain;
            Rates program;
            {
                testing::SimProcess sim;
                if (!sim.start(simArgs))
                    return 1;
                PlainLoop loop(overTcp ? bench::openLoopbackTcp(sim.tcpPort()) : openPty(sim.ptyPath()));
                if (!loop.ok() || !plainRun(loop, file, records, plain)) {
                    std::printf("%s: plain loop failed\n", name);
                    ++failures;
                    break;
                }
            }
            testing::SimProcess sim;
            if (!sim.start(simArgs))
                return 1;
            if (!programRun(sim, overTcp, down, up, records, program)) {
                std::printf("%s: program run failed\n", name);
                ++failures;
                break;
            }
            plainDown.push_back(plain.download);
            plainUp.push_back(plain.upload);
            programDown.push_back(program.download);
            programUp.push_back(program.upload);
            linkOnly.push_back(program.linkOnly);
        }
        if (programUp.empty())
            continue;
        const double pd = median(programDown);
        const double qd = median(plainDown);
        const double pu = median(programUp);
        const double qu = median(plainUp);
        std::printf("%s download %d records (median of %zu): program %.0f rec/s, plain loop %.0f rec/s, ratio %.2f\n",
                    name, records, programDown.size(), pd, qd, pd / qd);
        std::printf("%s upload   %d records (median of %zu): program %.0f rec/s, plain loop %.0f rec/s, ratio %.2f\n",
                    name, records, programUp.size(), pu, qu, pu / qu);
        std::printf("%s upload exchanges on the bare link: %.0f rec/s\n", name, median(linkOnly));
        std::fflush(stdout);
    }
    return failures == 0 ? 0 : 1;
}
