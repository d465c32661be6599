#include "cli/fleet/fleetrun.h"
#include "cli/fleet/worker.h"
#include "cli/interruptsignals.h"
#include "cli/journalcommand.h"
#include "cli/options.h"
#include "cli/plan/plancommand.h"
#include "cli/recording.h"
#include "cli/runcontroller.h"
#include "journal/journal.h"

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
        std::puts("tarnic-cli " TARNIC_VERSION);
        return kExitOk;
    }
    if (options->command == QLatin1String(kJournalCommand))
        return runJournal(*options);
    InterruptSignals interrupts;
    // A fleet's runner writes its workers' records.
    if (options->command == QLatin1String(fleet::kWorkerCommand))
        return fleet::runWorker(interrupts);
    // Plan and apply open their journal themselves: they may name it after the inventory.
    if (options->command == QLatin1String(plan::kPlanCommand) || options->command == QLatin1String(plan::kApplyCommand))
        return plan::runPlanCommand(*options, interrupts);
    const bool isFleet = options->command == QLatin1String(fleet::kCommand);
    const Command *command = findCommand(options->command);
    if (!isFleet && !command) {
        StdoutSinks::error(QStringLiteral("unknown command %1").arg(options->command));
        StdoutSinks::error(usageText());
        return kExitUsage;
    }
    std::unique_ptr<journal::Journal> journal;
    if ((isFleet || command->needsLink) && !openJournal(*options, journal))
        return kExitUsage;
    if (isFleet)
        return fleet::runFleet(options->args, options->json, interrupts, journal.get());
    StdoutSinks out(options->json);
    wire::EventLoopWaiter waiter;
    return runController(*options, *command, out, waiter, &interrupts, journal.get());
}
