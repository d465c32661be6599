// bench_loopback: the loopback test over TCP 127.0.0.1 against tarnic-sim,
// against a plain blocking echo round trip measured in the same run.
//
//   bench_loopback [--passes N] [--rounds R] [--sim PATH]   (default 20 passes, 3 rounds)
#include "bench/common/plainsocket.h"
#include "loopback/loopbacktest.h"
#include "tests/common/liverig.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Times the characters of the run: the first progress caption marks the
// first character sent (TCP captions every character).
class Clock final : public core::StatusLine {
public:
    void setStatus(const QString &text) override
    {
        if (!text.isEmpty() && !timer.isValid())
            timer.start();
    }
    QElapsedTimer timer;
};

// One byte out, wait for it back, with plain blocking socket calls.
double plainRoundTrips(quint16 port, int count)
{
    const int fd = bench::openLoopbackTcp(port);
    if (fd < 0)
        return 0;
    const char start[] = {0, 27, 13, 0, 27, 13, '*'};
    ::send(fd, start, 6, 0);
    ::usleep(100000);
    ::send(fd, start + 6, 1, 0);
    ::usleep(100000);
    char buf[64];
    while (::recv(fd, buf, sizeof buf, MSG_DONTWAIT) > 0) {
    }
    QElapsedTimer t;
    t.start();
    int ok = 0;
    for (int i = 0; i < count; ++i) {
        const char c = static_cast<char>(i & 0xff);
        if (::send(fd, &c, 1, 0) != 1 || ::recv(fd, buf, 1, 0) != 1)
            break;
        ++ok;
    }
    const double s = t.nsecsElapsed() / 1e9;
    ::close(fd);
    return ok / s;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int passes = 20;
    int rounds = 3;
    QString sim = QStringLiteral(TARNIC_SIM_PATH);
    const QStringList args = QCoreApplication::arguments().mid(1);
    for (qsizetype i = 0; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--passes"))
            passes = args.at(i + 1).toInt();
        else if (args.at(i) == QLatin1String("--rounds"))
            rounds = args.at(i + 1).toInt();
        else if (args.at(i) == QLatin1String("--sim"))
            sim = args.at(i + 1);
    }
    if (passes < 1 || rounds < 1) {
        std::fprintf(stderr, "usage: bench_loopback [--passes N] [--rounds R] [--sim PATH]\n");
        return 2;
    }
    qputenv("TARNIC_SIM", sim.toLocal8Bit());
    testing::SimProcess process;
    if (!process.start({QStringLiteral("--tcp"), QStringLiteral("0")})) {
        std::fprintf(stderr, "cannot start %s\n", qPrintable(sim));
        return 1;
    }
    const int characters = passes * 256;

    testing::LiveRig rig;

    // Rounds of plain then program, so that both see the same load; the
    // medians are compared.
    QList<double> plainRates;
    QList<double> rates;
    qint64 faults = 0;
    for (int round = 0; round < rounds; ++round) {
        plainRates.append(plainRoundTrips(process.tcpPort(), characters));
        if (!rig.connectTo(process, true)) {
            std::fprintf(stderr, "cannot connect\n");
            return 1;
        }
        Clock clock;
        loopback::LoopbackTest test(rig.link, rig.ui, clock);
        test.run(passes);
        rates.append(test.charactersSent() / (clock.timer.nsecsElapsed() / 1e9));
        faults += test.badEchoes() + test.timeouts();
        rig.link.DisconnectLink();
        std::printf("round %d: loopback %.0f characters per second, plain %.0f round trips per second\n", round + 1,
                    rates.constLast(), plainRates.constLast());
    }
    std::sort(plainRates.begin(), plainRates.end());
    std::sort(rates.begin(), rates.end());
    const double plain = plainRates.at(rounds / 2);
    const double rate = rates.at(rounds / 2);
    std::printf("loopback over TCP, %d passes (%d characters) x %d rounds, %lld bad echoes or time-outs\n", passes,
                characters, rounds, static_cast<long long>(faults));
    std::printf("median characters per second: %.0f; plain blocking round trips: %.0f per second; ratio %.2f "
                "(target 0.7)\n",
                rate, plain, plain > 0 ? rate / plain : 0.0);
    return faults == 0 ? 0 : 1;
}
