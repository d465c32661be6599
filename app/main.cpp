#include "app/application.h"
#include "link/qtserialio.h"
#include "link/qttcpio.h"
#include "link/waiter.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

constexpr char kHelp[] = "Usage: tarnic-flash-utility [OPTION]...\n"
                         "Service tool for Tarnic door-access controllers: a raw terminal, firmware flash\n"
                         "download (and the bootloader-extension variant), a loopback link test, the\n"
                         "configuration programmer and the access-data utilities, over a serial port or\n"
                         "a TCP connection.\n"
                         "\n"
                         "Options:\n"
                         "  --help     print this help and exit\n"
                         "  --version  print the version and exit\n"
                         "\n"
                         "Qt's own options, such as -platform NAME, are accepted as well.\n";

// --help and --version are answered before QApplication exists, so that they
// work without a display (help2man runs them at build time).
bool answeredInfoRequest(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kHelp, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("tarnic-flash-utility " TARNIC_VERSION "\n", stdout);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    if (answeredInfoRequest(argc, argv))
        return 0;
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tarnic-flash-utility"));
    QApplication::setDesktopFileName(QStringLiteral("tarnic-flash-utility"));
    wire::EventLoopWaiter waiter;
    wire::QtSerialIo serial;
    wire::QtTcpIo tcp;
    app::Application application({waiter, serial, tcp});
    return QApplication::exec();
}
