// tarnic-sim: a controller on a pseudo-terminal and/or a TCP port, for tests,
// benchmarks and training without a controller at hand.
#include "sim/controller.h"
#include "sim/endpoint.h"
#include "sim/module.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <cstdio>

namespace {
void say(const QString &line)
{
    std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}
} // namespace

int main(int argc, char *argv[])
{
    // Qt's own event dispatcher costs fewer system calls per wait than the
    // glib one, and a program without windows needs nothing glib offers.
    if (qEnvironmentVariableIsEmpty("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnic-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARNIC_VERSION));
    std::signal(SIGPIPE, SIG_IGN);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated Tarnic door-access controller."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    parser.addOption(
        {QStringLiteral("tcp"), QStringLiteral("Listen on TCP PORT (0: any free port)."), QStringLiteral("PORT")});
    parser.addOption({QStringLiteral("listen"), QStringLiteral("Address to listen on."), QStringLiteral("ADDRESS"),
                      QStringLiteral("127.0.0.1")});
    parser.addOption({QStringLiteral("pty"), QStringLiteral("Create a pseudo-terminal and print its path.")});
    parser.addOption(
        {QStringLiteral("pty-link"), QStringLiteral("Also make PATH a symbolic link to it."), QStringLiteral("PATH")});
    parser.addOption({QStringLiteral("pace"), QStringLiteral("Carry bytes no faster than a serial line at BAUD."),
                      QStringLiteral("BAUD"), QStringLiteral("0")});
    auto modules = sim::makeModules();
    for (auto &m : modules)
        m->addOptions(parser);
    // Usage errors exit 2, as tarnic-cli's do (process() would exit 1).
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "tarnic-sim: %s\n", parser.errorText().toLocal8Bit().constData());
        return 2;
    }
    if (parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all"))) {
        // The usage line names the program, not the path it was started by
        // (the manual page is made from this text).
        QString help = parser.helpText();
        const QString invokedAs = QCoreApplication::arguments().constFirst();
        help.replace(help.indexOf(invokedAs), invokedAs.size(), QStringLiteral("tarnic-sim"));
        std::fputs(help.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (parser.isSet(versionOption))
        parser.showVersion();

    QString error;
    for (auto &m : modules) {
        if (!m->configure(parser, &error)) {
            std::fprintf(stderr, "tarnic-sim: %s\n", error.toLocal8Bit().constData());
            return 2;
        }
    }
    if (!parser.isSet(QStringLiteral("tcp")) && !parser.isSet(QStringLiteral("pty"))) {
        std::fprintf(stderr, "tarnic-sim: give --tcp PORT and/or --pty\n");
        return 2;
    }
    bool ok = false;
    const int pace = parser.value(QStringLiteral("pace")).toInt(&ok);
    if (!ok || pace < 0) {
        std::fprintf(stderr, "tarnic-sim: --pace takes a baud rate\n");
        return 2;
    }

    // Each transport drives its own controller state machine, so that a half
    // line on one never mixes with the other; data modules share their store
    // through the modules themselves.
    sim::Controller serialSide{{}};
    sim::Controller tcpSide{{}};
    for (auto &m : modules) {
        m->install(serialSide);
        m->install(tcpSide);
    }

    std::unique_ptr<sim::PtyEndpoint> pty;
    if (parser.isSet(QStringLiteral("pty"))) {
        pty = std::make_unique<sim::PtyEndpoint>(serialSide, pace);
        if (!pty->open(&error)) {
            std::fprintf(stderr, "tarnic-sim: cannot create a pseudo-terminal: %s\n", error.toLocal8Bit().constData());
            return 1;
        }
        if (parser.isSet(QStringLiteral("pty-link"))) {
            const QString link = parser.value(QStringLiteral("pty-link"));
            QFile::remove(link);
            QFile::link(pty->slavePath(), link);
        }
        say(QStringLiteral("pty: %1").arg(pty->slavePath()));
    }
    std::unique_ptr<sim::TcpEndpoint> tcp;
    if (parser.isSet(QStringLiteral("tcp"))) {
        const uint port = parser.value(QStringLiteral("tcp")).toUInt(&ok);
        if (!ok || port > 65535) {
            std::fprintf(stderr, "tarnic-sim: --tcp takes a port number\n");
            return 2;
        }
        tcp = std::make_unique<sim::TcpEndpoint>(tcpSide, pace);
        if (!tcp->listen(parser.value(QStringLiteral("listen")), static_cast<quint16>(port), &error)) {
            std::fprintf(stderr, "tarnic-sim: cannot listen: %s\n", error.toLocal8Bit().constData());
            return 1;
        }
        say(QStringLiteral("tcp: %1:%2").arg(parser.value(QStringLiteral("listen"))).arg(tcp->port()));
    }
    return QCoreApplication::exec();
}
