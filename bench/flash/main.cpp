// bench-flash: downloads a 256 KiB image to tarnic-sim and prints
//  - paced at a line rate over a pseudo-terminal, directly and through
//    ser2net's RFC 2217 accepter in front of it: the time of the block phase,
//    the line-rate minimum for the same bytes, and their ratios;
//  - unpaced over TCP 127.0.0.1 and a pseudo-terminal: blocks per second and
//    CPU seconds of the program's download, beside a plain blocking sender
//    (write a frame, block in read() for the "K") against the same simulator.
// Only the block phase is timed; the pause after the break-in is shortened.
#include "bench/common/loadaverage.h"
#include "bench/common/plainsocket.h"
#include "flash/download.h"
#include "link/link.h"
#include "link/qtserialio.h"
#include "link/qttcpio.h"
#include "tests/common/liverig.h"
#include "tests/common/ser2net.h"
#include "tests/common/simprocess.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

struct Figures {
    double seconds = 0;
    double cpu = 0;
    qint64 blocks = 0;
    bool ok = false;
    double rate() const { return seconds > 0 ? static_cast<double>(blocks) / seconds : 0; }
};

// Times the block phase from the first frame to the last "K".
class PhaseTimer final : public flash::Observer {
public:
    void blocksStarting(qint64 total, qint64, flash::Ms) override
    {
        m_total = total;
        m_cpu = cpuSeconds();
        m_start = Clock::now();
    }
    void blockAcknowledged(qint64 number, qint64, flash::Ms) override
    {
        if (number != m_total)
            return;
        figures.seconds = std::chrono::duration<double>(Clock::now() - m_start).count();
        figures.cpu = cpuSeconds() - m_cpu;
        figures.blocks = m_total;
    }
    Figures figures;

private:
    qint64 m_total = 0;
    double m_cpu = 0;
    Clock::time_point m_start;
};

// The program's download on the link to endpoint, called directly: a device
// server's line may run at any rate.
Figures programDownload(const wire::Endpoint &endpoint, const QString &image)
{
    testing::LiveRig rig;
    auto &link = rig.link;
    auto &ui = rig.ui;
    Figures f;
    rig.comm.select(endpoint);
    link.ConnectLink();
    if (!link.isConnected())
        return f;
    flash::FlashDownload dl(flash::Kind::Flash, link, ui, ui);
    PhaseTimer timer;
    dl.setObserver(&timer);
    dl.setPauseOverride(100ms);
    f.ok = dl.doflashdl(image).outcome == flash::Outcome::Complete;
    f.seconds = timer.figures.seconds;
    f.cpu = timer.figures.cpu;
    f.blocks = timer.figures.blocks;
    link.closeAll();
    return f;
}

wire::Endpoint simEndpoint(const testing::SimProcess &sim, bool tcp)
{
    return tcp ? wire::Endpoint::tcp(QStringLiteral("127.0.0.1"), sim.tcpPort())
               : wire::Endpoint::serial(sim.ptyPath());
}

// The plain sender: blocking POSIX calls, nothing else.
bool writeAll(int fd, const char *p, size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

int readOne(int fd)
{
    char c = 0;
    for (;;) {
        const ssize_t r = ::read(fd, &c, 1);
        if (r == 1)
            return static_cast<unsigned char>(c);
        if (r < 0 && errno == EINTR)
            continue;
        return -1;
    }
}

Figures plainDownload(testing::SimProcess &sim, bool tcp, const QByteArray &image)
{
    Figures f;
    int fd = -1;
    if (tcp) {
        fd = bench::openLoopbackTcp(sim.tcpPort());
        if (fd < 0)
            return f;
    } else {
        fd = ::open(sim.ptyPath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        if (fd < 0)
            return f;
        termios t{};
        ::tcgetattr(fd, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(fd, TCSANOW, &t);
    }
    const QByteArray breakIn = flash::kBreakIn;
    writeAll(fd, breakIn.constData(), 6);
    ::usleep(100000);
    writeAll(fd, "B", 1);
    if (readOne(fd) != 'T' || readOne(fd) != 'K') {
        ::close(fd);
        return f;
    }
    const flash::ImageLayout l = flash::layoutFor(image.size(), flash::kTrailerSize, 50);
    const double cpu0 = cpuSeconds();
    const auto t0 = Clock::now();
    bool ok = true;
    for (qint64 b = 0; ok && b < l.totalBlocks(); ++b) {
        const qint64 n = b < l.fullBlocks ? 50 : l.lastBlockSize;
        const QByteArray frame = flash::frameBlock(QByteArrayView(image.constData() + b * 50, n));
        ok = writeAll(fd, frame.constData(), static_cast<size_t>(frame.size())) && readOne(fd) == 'K';
    }
    f.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    f.cpu = cpuSeconds() - cpu0;
    f.blocks = l.totalBlocks();
    const QByteArray end =
        QByteArray(1, '\0') + image.right(flash::kTrailerSize) + flash::dateStamp(QDate::currentDate());
    f.ok = ok && writeAll(fd, end.constData(), static_cast<size_t>(end.size())) && readOne(fd) == 'B';
    ::close(fd);
    return f;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double best(const std::vector<double> &v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Flash download benchmark against tarnic-sim."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("sim"), QStringLiteral("tarnic-sim to run."), QStringLiteral("PATH"),
                      QStringLiteral(TARNIC_SIM_PATH)});
    parser.addOption({QStringLiteral("size"), QStringLiteral("Image size in bytes."), QStringLiteral("BYTES"),
                      QStringLiteral("262144")});
    parser.addOption({QStringLiteral("baud"), QStringLiteral("Line rate of the paced run."), QStringLiteral("BAUD"),
                      QStringLiteral("115200")});
    parser.addOption({QStringLiteral("repeat"), QStringLiteral("Unpaced runs per sender and transport."),
                      QStringLiteral("N"), QStringLiteral("7")});
    parser.addOption({QStringLiteral("skip-paced"), QStringLiteral("Leave out the paced run.")});
    parser.addOption({QStringLiteral("skip-unpaced"), QStringLiteral("Leave out the unpaced runs.")});
    parser.process(app);
    qputenv("TARNIC_SIM", parser.value(QStringLiteral("sim")).toLocal8Bit());
    const qsizetype size = parser.value(QStringLiteral("size")).toLongLong();
    const int baud = parser.value(QStringLiteral("baud")).toInt();
    const int repeat = std::max(1, parser.value(QStringLiteral("repeat")).toInt());

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.bin"));
    QByteArray image(size, '\0');
    for (qsizetype i = 0; i < size; ++i)
        image[i] = static_cast<char>((i * 131 + (i >> 8)) & 0xff);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(image) != size)
        return 1;
    file.close();
    const flash::ImageLayout l = flash::layoutFor(size, flash::kTrailerSize, 50);
    std::printf("image %lld bytes: %lld blocks; load average %s\n", static_cast<long long>(size),
                static_cast<long long>(l.totalBlocks()), bench::loadAverage().constData());

    if (!parser.isSet(QStringLiteral("skip-paced"))) {
        testing::SimProcess sim;
        if (!sim.start({QStringLiteral("--pty"), QStringLiteral("--pace"), QString::number(baud)})) {
            std::fprintf(stderr, "cannot start %s\n", qPrintable(parser.value(QStringLiteral("sim"))));
            return 1;
        }
        testing::Ser2net server;
        QString error;
        if (!server.start(sim.ptyPath(), &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        // Each block: its frame one way, then the "K" the other, 10 bits a byte.
        const qint64 lineBytes = l.fullBlocks * (50 + 2 + 1) + (l.lastBlockSize + 2 + 1);
        const double minimum = static_cast<double>(lineBytes) * 10.0 / baud;
        double direct = 0;
        for (const bool served : {false, true}) {
            const Figures f = programDownload(
                served ? wire::Endpoint::rfc2217(QStringLiteral("127.0.0.1"), server.rfc2217Port(), baud)
                       : simEndpoint(sim, false),
                path);
            std::printf("paced %d baud, %s: block phase %.3f s, line-rate minimum %.3f s, ratio %.4f", baud,
                        served ? "RFC 2217 through ser2net" : "pseudo-terminal", f.seconds, minimum,
                        f.seconds / minimum);
            if (served && direct > 0)
                std::printf(", %.4f of the direct path", f.seconds / direct);
            std::printf("%s\n", f.ok ? "" : "  (DOWNLOAD FAILED)");
            std::fflush(stdout);
            direct = f.seconds;
        }
    }

    for (const bool tcp : {true, false}) {
        if (parser.isSet(QStringLiteral("skip-unpaced")))
            break;
        testing::SimProcess sim;
        if (!sim.start(tcp ? QStringList{QStringLiteral("--tcp"), QStringLiteral("0")}
                           : QStringList{QStringLiteral("--pty")}))
            return 1;
        std::vector<double> progRate;
        std::vector<double> progCpu;
        std::vector<double> plainRate;
        std::vector<double> plainCpu;
        bool ok = true;
        for (int i = 0; i < repeat; ++i) {
            const Figures p = programDownload(simEndpoint(sim, tcp), path);
            const Figures q = plainDownload(sim, tcp, image);
            ok = ok && p.ok && q.ok;
            progRate.push_back(p.rate());
            progCpu.push_back(p.cpu);
            plainRate.push_back(q.rate());
            plainCpu.push_back(q.cpu);
        }
        const double pr = median(progRate);
        const double qr = median(plainRate);
        const double pb = best(progRate);
        const double qb = best(plainRate);
        std::printf("unpaced %s, median of %d: program %.0f blocks/s, %.3f CPU s; plain sender %.0f blocks/s, "
                    "%.3f CPU s; ratio %.3f (best runs: %.0f and %.0f blocks/s, ratio %.3f)%s\n",
                    tcp ? "tcp 127.0.0.1" : "pseudo-terminal", repeat, pr, median(progCpu), qr, median(plainCpu),
                    qr > 0 ? pr / qr : 0.0, pb, qb, qb > 0 ? pb / qb : 0.0, ok ? "" : "  (A DOWNLOAD FAILED)");
        std::fflush(stdout);
    }
    std::printf("load average %s\n", bench::loadAverage().constData());
    return 0;
}
