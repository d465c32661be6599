// Start-up benchmark: time from process start (including loading the
// libraries) to the main window's first paint, and the peak memory with every
// screen created. Run it on a display (Xvfb will do):
//   DISPLAY=:99 build/bench/startup/bench_startup
#include "app/application.h"
#include "link/qtserialio.h"
#include "link/qttcpio.h"

#include <QApplication>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

// Milliseconds since this process started, from the kernel's start time.
double msSinceProcessStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = stat.readAll().split(' ');
    const double startTicks = fields.value(21).toDouble();
    timespec boot{};
    clock_gettime(CLOCK_BOOTTIME, &boot);
    const double nowMs = boot.tv_sec * 1000.0 + boot.tv_nsec / 1e6;
    return nowMs - startTicks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long peakKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

class FirstPaint : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            std::printf("start-up to first paint: %.0f ms\n", msSinceProcessStart());
            QTimer::singleShot(500, qApp, [] {
                std::printf("peak memory with every screen created: %.1f MB\n", peakKb() / 1024.0);
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_seen = false;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication qapp(argc, argv);
    wire::EventLoopWaiter waiter;
    wire::QtSerialIo serial;
    wire::QtTcpIo tcp;
    FirstPaint probe;
    qapp.installEventFilter(&probe);
    app::Application application({waiter, serial, tcp});
    return QApplication::exec();
}
