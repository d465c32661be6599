// tarnic-sim: a controller (or many) on a pseudo-terminal and/or a TCP port,
// for tests, benchmarks and training without a controller at hand.
#include "sim/descriptors.h"
#include "sim/group.h"
#include "sim/module.h"
#include "sim/quit_signals.h"
#include "sim/state_out.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

namespace {
void say(const QString &line)
{
    std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

int usage(const QString &text)
{
    std::fprintf(stderr, "tarnic-sim: %s\n", text.toLocal8Bit().constData());
    return 2;
}

// Each thread's event loop polls only its own controllers' sockets.
constexpr int kControllersPerThread = 16;

// A number from 1 to max, or 0.
int count(const QString &text, int max)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok && n >= 1 && n <= max ? n : 0;
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
    parser.setApplicationDescription(
        QStringLiteral("Simulated Tarnic door-access controller.\n\n"
                       "A state file (--state, --state-out) is JSON, by controller index:\n"
                       "  {\"controllers\": {\"1\": {\"version\": TEXT, \"clock_offset\": SECONDS,\n"
                       "    \"ad_hoc\": [RECORD...], \"sorted\": [RECORD...], \"schedules\": [ENTRY...]},\n"
                       "   ...}}\n"
                       "TEXT is the reply to \"V\"; SECONDS how far the controller's clock is ahead of\n"
                       "this computer's; a RECORD what \"u\" or \"s\" answers (a schedule of 3\n"
                       "characters, 999 for a deleted entry, then the ID); an ENTRY what \"SA\" carries\n"
                       "(SSSDHHMMhhmm). Controllers and fields left out keep the defaults.\n\n"
                       "A completed flash download makes the controller answer \"V\" with the image's\n"
                       "trailer (its last 44 bytes) up to the first NUL, trailing blanks dropped,\n"
                       "when that is printable and not empty; otherwise with the identification it\n"
                       "had up to its last \" V \", then \" V \" and the first 8 hex digits of the\n"
                       "image's SHA-256. A bootloader extension leaves the identification as it was."));
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
    parser.addOption({QStringLiteral("controllers"),
                      QStringLiteral("Serve N controllers, each with its own state, on ports from --tcp PORT on (any "
                                     "free ports for 0) and/or pseudo-terminals of their own; prints them in "
                                     "controller order."),
                      QStringLiteral("N"), QStringLiteral("1")});
    parser.addOption({QStringLiteral("state"), QStringLiteral("Start the controllers from the state in FILE."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("state-out"),
                      QStringLiteral("Rewrite FILE with every controller's state, in --state's format, at each "
                                     "change, before the controller answers (a file written each time: leave it "
                                     "out when timing long transfers), and as the simulator ends (SIGTERM and "
                                     "SIGINT included)."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("fault-on"),
                      QStringLiteral("Apply the fault switches to controller INDEX only (from 1; repeatable)."),
                      QStringLiteral("INDEX")});
    // Every controller makes modules of its own; these name and check the
    // switches.
    auto modules = sim::makeModules();
    for (auto &m : modules)
        m->addOptions(parser);
    // Usage errors exit 2, as tarnic-cli's do (process() would exit 1).
    if (!parser.parse(QCoreApplication::arguments()))
        return usage(parser.errorText());
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
        if (!m->configure(parser, &error))
            return usage(error);
    }
    const bool wantTcp = parser.isSet(QStringLiteral("tcp"));
    const bool wantPty = parser.isSet(QStringLiteral("pty"));
    if (!wantTcp && !wantPty)
        return usage(QStringLiteral("give --tcp PORT and/or --pty"));
    bool ok = false;
    const int pace = parser.value(QStringLiteral("pace")).toInt(&ok);
    if (!ok || pace < 0)
        return usage(QStringLiteral("--pace takes a baud rate"));
    const uint firstPort = parser.value(QStringLiteral("tcp")).toUInt(&ok);
    if (wantTcp && (!ok || firstPort > 65535))
        return usage(QStringLiteral("--tcp takes a port number"));
    const int controllers = count(parser.value(QStringLiteral("controllers")), 100'000);
    if (controllers == 0)
        return usage(QStringLiteral("--controllers takes a number from 1 to 100000"));
    if (firstPort != 0 && firstPort + controllers - 1 > 65535)
        return usage(
            QStringLiteral("--controllers %1 from port %2 runs past port 65535").arg(controllers).arg(firstPort));
    QList<int> faultOn;
    for (const QString &index : parser.values(QStringLiteral("fault-on"))) {
        faultOn.append(count(index, controllers));
        if (faultOn.constLast() == 0)
            return usage(QStringLiteral("--fault-on takes a controller index from 1 to %1").arg(controllers));
    }
    if (controllers > 1) {
        // Two controllers never write one file.
        for (const QString &option :
             {QStringLiteral("save-image"), QStringLiteral("config-log"), QStringLiteral("received-log")})
            if (parser.isSet(option) && !parser.value(option).contains(QLatin1String("{index}")))
                return usage(
                    QStringLiteral("--%1 needs {index} in its path with more than one controller").arg(option));
        if (parser.isSet(QStringLiteral("pty-link")))
            return usage(QStringLiteral("--pty-link names one controller's pseudo-terminal"));
    }
    // Per controller: a listening socket and its peer, a pseudo-terminal's two
    // ends; per thread its wake-up and pacing timer; a few for the process.
    const long perController = (wantTcp ? 2 : 0) + (wantPty ? 2 : 0);
    const long threads = (controllers + kControllersPerThread - 1) / kControllersPerThread;
    const long needed = 32 + perController * controllers + 2 * threads;
    const long limit = sim::raiseDescriptorLimit();
    if (limit < needed) {
        std::fprintf(stderr,
                     "tarnic-sim: %d controllers need about %ld open files; the limit is %ld even raised to its hard "
                     "limit (see ulimit -Hn)\n",
                     controllers, needed, limit);
        return 2;
    }

    sim::Setup setup{&parser,
                     pace,
                     wantPty,
                     wantTcp,
                     parser.value(QStringLiteral("listen")),
                     firstPort,
                     faultOn,
                     parser.value(QStringLiteral("pty-link")),
                     {},
                     nullptr};
    if (parser.isSet(QStringLiteral("state"))
        && !sim::readStateFile(parser.value(QStringLiteral("state")), controllers, &setup.state, &error))
        return usage(error);
    std::unique_ptr<sim::StateOut> stateOut;
    if (parser.isSet(QStringLiteral("state-out")))
        setup.stateOut =
            (stateOut = std::make_unique<sim::StateOut>(parser.value(QStringLiteral("state-out")), controllers)).get();
    sim::quitOnSignals();

    std::vector<std::unique_ptr<sim::Group>> groups;
    QStringList lines;
    for (int first = 1; first <= controllers; first += kControllersPerThread) {
        auto &group = *groups.emplace_back(
            std::make_unique<sim::Group>(setup, first, std::min(controllers, first + kControllersPerThread - 1)));
        QStringList more;
        if (!group.start(&more, &error)) {
            std::fprintf(stderr, "tarnic-sim: %s\n", error.toLocal8Bit().constData());
            return 1;
        }
        lines += more;
    }
    // The state file is there before anyone learns where the controllers are.
    if (stateOut && !stateOut->write(&error))
        return usage(error);
    for (const QString &line : lines)
        say(line);
    const int status = QCoreApplication::exec();
    groups.clear(); // each group records its controllers' state as it ends
    if (stateOut && !stateOut->write(&error)) {
        std::fprintf(stderr, "tarnic-sim: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    return status;
}
