#include "cli/commands.h"
#include "cli/options.h"
#include "link/qtserialio.h"
#include "link/qttcpio.h"

#include <QCoreApplication>

#include <cstdio>

using namespace cli;

int main(int argc, char *argv[])
{
    // Qt's own event dispatcher costs fewer system calls per wait than the
    // glib one, and a program without windows needs nothing glib offers.
    if (qEnvironmentVariableIsEmpty("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QString error;
    const auto options = parseLinkOptions(QCoreApplication::arguments().mid(1), &error);
    if (!options) {
        StdoutSinks::error(error);
        StdoutSinks::error(usageText());
        return kExitUsage;
    }
    if (options->request == LinkOptions::Request::Help) {
        std::fputs(helpText().toLocal8Bit().constData(), stdout);
        return kExitOk;
    }
    if (options->request == LinkOptions::Request::Version) {
        StdoutSinks::line(QStringLiteral("tarnic-cli " TARNIC_VERSION));
        return kExitOk;
    }
    const Command *command = nullptr;
    for (const Command &c : commands())
        if (options->command == QLatin1String(c.name))
            command = &c;
    if (!command) {
        StdoutSinks::error(QStringLiteral("unknown command %1").arg(options->command));
        StdoutSinks::error(usageText());
        return kExitUsage;
    }

    core::AppState state;
    state.digitWidth = core::digitWidthData();
    wire::CommSettings comm;
    config::Settings settings;
    utilities::UtilitiesSettings utilitiesSettings;
    wire::applyCommDefaults(comm);
    utilities::applyUtilitiesDefaults(utilitiesSettings);
    config::applyConfigDefaults(settings);

    wire::EventLoopWaiter waiter;
    wire::QtSerialIo serial;
    wire::QtTcpIo tcp;
    StdoutSinks out;
    wire::Link link(comm, waiter, out, serial, tcp);
    Context context{state, comm, link, waiter, settings, utilitiesSettings, out, options->args};
    if (!command->needsLink)
        return command->run(context);
    if (options->tcp) {
        comm.mode = wire::CommSettings::Mode::Tcp;
        comm.ipAddress = options->host;
        comm.tcpPort = options->port;
    } else {
        comm.mode = wire::CommSettings::Mode::Serial;
        comm.baud = options->baud;
        comm.device = options->device;
    }
    link.ConnectLink();
    if (!link.isConnected()) {
        StdoutSinks::line(wire::kDisconnected);
        StdoutSinks::error(link.openFailure());
        return kExitNoLink;
    }
    const int rc = command->run(context);
    link.closeAll();
    return rc;
}
