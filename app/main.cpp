#include "app/application.h"
#include "link/qtserialio.h"
#include "link/qttcpio.h"
#include "link/waiter.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tarnic-flash-utility"));
    QApplication::setDesktopFileName(QStringLiteral("tarnic-flash-utility"));
    wire::EventLoopWaiter waiter;
    wire::QtSerialIo serial;
    wire::QtTcpIo tcp;
    app::Application application({waiter, serial, tcp});
    return QApplication::exec();
}
