// bench_terminal: how fast the terminal draws what arrives, and what it costs
// while nothing arrives.
//
//   bench_terminal [--bytes N]   N mixed bytes (default 1 MiB) through a
//                                pseudo-terminal into the terminal screen,
//                                offscreen; characters per second and CPU.
//   bench_terminal --idle [S]    terminal mode open over TCP with nothing
//                                arriving for S seconds (default 10); CPU.
#include "config/settings.h"
#include "link/link.h"
#include "link/qtserialio.h"
#include "link/qttcpio.h"
#include "screens/services.h"
#include "terminal/screens/terminalview.h"
#include "terminal/screens/termmode.h"
#include "utilities/utilitiessettings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

class SilentBox final : public core::MessageBox, public core::FileChooser {
public:
    void message(const QString &text) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
    bool ask(const QString &) override { return false; }
    std::optional<QString> openFile(const QString &, const core::FileFilter &) override { return {}; }
    std::optional<QString> saveFile(const QString &, const core::FileFilter &, const QString &) override { return {}; }
};

double threadCpu()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double processCpu()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

struct Program {
    core::AppState state;
    wire::CommSettings comm;
    wire::EventLoopWaiter waiter;
    wire::QtSerialIo serial;
    wire::QtTcpIo tcp;
    SilentBox box;
    wire::Link link{comm, waiter, box, serial, tcp};
    config::Settings settings;
    utilities::UtilitiesSettings utilities;
    journal::Desk journal{false}; // the benchmark measures the terminal alone
    screens::Services services{state, link, waiter, comm, settings, utilities, box, box, journal};
    terminal::TermMode screen{services};

    Program() { wire::applyCommDefaults(comm); }
};

int flood(qint64 total)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::perror("pseudo-terminal");
        return 1;
    }
    const QString slave = QString::fromLocal8Bit(::ptsname(master));
    const int keep = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    termios t{};
    ::tcgetattr(keep, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(keep, TCSANOW, &t);

    Program p;
    p.comm.select(wire::Endpoint::serial(slave, 115200));
    p.link.ConnectLink();
    if (!p.link.isConnected()) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(slave));
        return 1;
    }
    p.screen.resize(900, 700);
    p.screen.show();

    QByteArray data(total, Qt::Uninitialized);
    QRandomGenerator rng(5200);
    for (char &c : data)
        c = static_cast<char>(rng.bounded(256));

    std::atomic<bool> writing{false};
    std::thread writer;
    double cpuStart = 0;
    double procStart = 0;
    QElapsedTimer wall;
    // Start the flood once the loop runs; stop the loop when all is drawn.
    QTimer::singleShot(0, [&] {
        wall.start();
        cpuStart = threadCpu();
        procStart = processCpu();
        writing = true;
        writer = std::thread([&] {
            qsizetype done = 0;
            while (done < data.size()) {
                const ssize_t n = ::write(master, data.constData() + done,
                                          static_cast<size_t>(std::min<qsizetype>(4096, data.size() - done)));
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    break;
                done += n;
            }
            writing = false;
        });
    });
    QTimer check;
    check.setInterval(20);
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (p.screen.session().log().bytesHeld() >= total)
            p.state.terminalStop = true;
    });
    check.start();
    p.screen.enter();
    const double seconds = wall.nsecsElapsed() / 1e9;
    const double cpu = threadCpu() - cpuStart;
    const double proc = processCpu() - procStart;
    writer.join();
    const qint64 drawn = p.screen.session().log().bytesHeld();
    std::printf("terminal flood: %lld bytes through %s in %.3f s\n", static_cast<long long>(drawn), qPrintable(slave),
                seconds);
    std::printf("characters per second drawn: %.0f (%.1f x the 11,520 of 115200 baud; target 115,200)\n",
                drawn / seconds, drawn / seconds / 11520.0);
    std::printf("CPU seconds: %.3f on the screen's thread, %.3f for the process (with the writer)\n", cpu, proc);
    std::printf("repaints: %llu\n", static_cast<unsigned long long>(p.screen.display()->paintCount()));
    ::close(keep);
    ::close(master);
    return drawn == total ? 0 : 1;
}

int idle(int seconds)
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0)) {
        std::fprintf(stderr, "cannot listen\n");
        return 1;
    }
    QTcpSocket *peer = nullptr;
    QObject::connect(&server, &QTcpServer::newConnection, [&] { peer = server.nextPendingConnection(); });
    Program p;
    p.comm.select(wire::Endpoint::tcp(QStringLiteral("127.0.0.1"), server.serverPort()));
    p.link.ConnectLink();
    if (!p.link.isConnected()) {
        std::fprintf(stderr, "cannot connect\n");
        return 1;
    }
    p.screen.show();
    QElapsedTimer wall;
    double cpuStart = 0;
    QTimer::singleShot(0, [&] {
        wall.start();
        cpuStart = threadCpu();
    });
    QTimer::singleShot(seconds * 1000, [&] { p.state.terminalStop = true; });
    p.screen.enter();
    const double cpu = threadCpu() - cpuStart;
    const double s = wall.nsecsElapsed() / 1e9;
    std::printf("terminal idle over TCP: %.1f s, CPU %.4f s = %.3f%% of one core (target under 1%%)\n", s, cpu,
                100.0 * cpu / s);
    Q_UNUSED(peer);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments().mid(1);
    if (!args.isEmpty() && args.at(0) == QLatin1String("--idle"))
        return idle(args.size() > 1 ? args.at(1).toInt() : 10);
    qint64 total = qint64{1024} * 1024;
    if (args.size() == 2 && args.at(0) == QLatin1String("--bytes"))
        total = args.at(1).toLongLong();
    if (total <= 0) {
        std::fprintf(stderr, "usage: bench_terminal [--bytes N] | --idle [SECONDS]\n");
        return 2;
    }
    return flood(total);
}
