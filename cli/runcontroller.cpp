#include "cli/runcontroller.h"

#include "cli/interruptsignals.h"
#include "cli/recording.h"
#include "link/qtserialio.h"
#include "link/qttcpio.h"

#include <QScopeGuard>

#include <csignal>

namespace cli {

namespace {
int connectAndRun(const Command &command, const std::optional<wire::Endpoint> &endpoint, Context &context)
{
    // The options name a link for every command that needs one.
    if (!command.needsLink || !endpoint)
        return command.run(context);
    context.link.connectTo(*endpoint);
    if (!context.link.isConnected()) {
        context.out.setStatus(wire::kDisconnected);
        context.out.failure(context.link.openFailure());
        return kExitNoLink;
    }
    const int rc = command.run(context);
    context.link.closeAll();
    return rc;
}
} // namespace

int runController(const LinkOptions &options, const Command &command, StdoutSinks &out, wire::Waiter &waiter,
                  InterruptSignals *interrupts, journal::Journal *journal)
{
    // Usage errors are told before any link opens.
    auto parsed = parseCommand(command, options.args);
    if (const auto *error = std::get_if<QString>(&parsed)) {
        out.failure(*error);
        out.result(kExitUsage, {});
        return kExitUsage;
    }
    core::AppState state;
    state.digitWidth = core::digitWidthData();
    wire::CommSettings comm;
    config::Settings settings;
    wire::applyCommDefaults(comm);
    config::applyConfigDefaults(settings);
    // The link named on the command line is the selected one, as the
    // communications screen would hold it.
    if (options.endpoint)
        comm.select(*options.endpoint);

    wire::QtSerialIo serial;
    wire::QtTcpIo tcp;
    wire::Link link(comm, waiter, out, serial, tcp);
    Context context{state, link, waiter, settings, out, std::get<Arguments>(std::move(parsed))};

    if (interrupts) {
        interrupts->onSignal = [&](int signal) {
            if (signal == SIGINT && context.stop)
                context.stop();
            else
                waiter.requestQuit();
        };
    }
    const auto detach = qScopeGuard([interrupts] {
        if (interrupts)
            interrupts->onSignal = nullptr;
    });
    journal::Operation recorded(command.needsLink ? journal : nullptr, describeRun(options), &warnJournal);
    int rc = connectAndRun(command, options.endpoint, context);
    if (waiter.quitting())
        rc = kExitInterrupted;
    recorded.end({outcomeOf(rc), rc, out.endText(), context.results});
    out.result(rc, context.results);
    return rc;
}

} // namespace cli
