#include "cli/options.h"

#include "cli/commands.h"
#include "cli/journalcommand.h"
#include "core/controltext.h"
#include "link/commsettings.h"

#include <algorithm>

namespace cli {

namespace {
const QString kOneLink =
    QStringLiteral("give exactly one of --serial DEVICE, --tcp HOST[:PORT] and --rfc2217 HOST:PORT");
} // namespace

std::optional<LinkOptions> parseLinkOptions(const QStringList &arguments, QString *error)
{
    LinkOptions o;
    QString linkOption; // the last of --serial, --tcp and --rfc2217 given
    bool twoLinks = false;
    std::optional<qint32> baud;
    int i = 0;
    auto fail = [error](const QString &why) {
        *error = why;
        return std::nullopt;
    };
    // Arguments become commands, file names and printed lines: a control
    // character in one could add a command of its own.
    for (const QString &argument : arguments)
        if (core::firstControlCharacter(argument) >= 0)
            return fail(QStringLiteral("an argument holds a control character: %1")
                            .arg(QString::fromLocal8Bit(core::escapeControlCharacters(argument.toLocal8Bit()))));
    while (i < arguments.size() && arguments.at(i).startsWith(QLatin1String("--"))) {
        const QString &opt = arguments.at(i);
        // Asked for help or the version, the rest of the line does not matter.
        if (opt == QLatin1String("--help") || opt == QLatin1String("--version")) {
            o.request = opt == QLatin1String("--help") ? LinkOptions::Request::Help : LinkOptions::Request::Version;
            return o;
        }
        if (opt == QLatin1String("--json") || opt == QLatin1String("--no-journal")) {
            (opt == QLatin1String("--json") ? o.json : o.noJournal) = true;
            ++i;
            continue;
        }
        if (i + 1 >= arguments.size())
            return fail(QStringLiteral("%1 needs a value").arg(opt));
        const QString &value = arguments.at(i + 1);
        if (wire::Endpoint::isOption(opt)) {
            twoLinks = twoLinks || (!linkOption.isEmpty() && linkOption != opt);
            linkOption = opt;
            QString why;
            o.endpoint = wire::Endpoint::fromOption(opt, value, &why);
            if (!o.endpoint)
                return fail(why);
        } else if (opt == QLatin1String("--baud")) {
            bool ok = false;
            baud = value.toInt(&ok);
            if (!ok || !wire::baudChoices().contains(*baud))
                return fail(QStringLiteral("--baud takes 9600, 19200, 38400, 57600 or 115200"));
        } else if (opt == QLatin1String("--journal")) {
            o.journal = value;
        } else {
            return fail(QStringLiteral("unknown option %1").arg(opt));
        }
        i += 2;
    }
    if (o.noJournal && !o.journal.isEmpty())
        return fail(QStringLiteral("give --journal FILE or --no-journal, not both"));
    // A fleet, plan and apply take their links from the inventory, and the
    // workers from the runs they are handed; the journal's listing needs no link.
    static const QStringList kNoLink{QStringLiteral("fleet"), QStringLiteral("fleet-worker"), QStringLiteral("plan"),
                                     QStringLiteral("apply"), QLatin1String(kJournalCommand)};
    if (!o.endpoint && i < arguments.size() && kNoLink.contains(arguments.at(i))) {
        o.command = arguments.at(i);
        o.args = arguments.mid(i + 1);
        return o;
    }
    if (twoLinks)
        return fail(kOneLink);
    if (o.endpoint && baud) {
        if (const QString why = o.endpoint->setBaud(*baud); !why.isEmpty())
            return fail(QStringLiteral("--") + why);
    }
    if (i >= arguments.size())
        return fail(QStringLiteral("no command given"));
    o.command = arguments.at(i);
    o.args = arguments.mid(i + 1);
    const Command *command = findCommand(o.command);
    if (!o.endpoint && (!command || command->needsLink))
        return fail(kOneLink);
    return o;
}

namespace {
QString synopsis(const Command &c)
{
    return (QString::fromLatin1(c.name) + QLatin1Char(' ') + QString::fromLatin1(c.usage)).trimmed();
}

constexpr QLatin1String
    kLinkSynopsis("tarnic-cli [--json] [--journal FILE | --no-journal]\n"
                  "            ((--serial DEVICE | --rfc2217 HOST:PORT) [--baud 9600|19200|38400|57600|115200]\n"
                  "            | --tcp HOST[:PORT]) COMMAND [ARGS]");
constexpr QLatin1String
    kFleetSynopsis("tarnic-cli [--json] [--journal FILE | --no-journal] fleet INVENTORY [--parallel N] [--retries K]\n"
                   "            [--only NAME,...] [--report FILE] [--log-dir DIR] [--yes] -- COMMAND [ARGS]");
constexpr QLatin1String kPlanSynopsis(
    "tarnic-cli [--json] [--journal FILE | --no-journal] plan INVENTORY [--only NAME,...] [--parallel N]\n"
    "            [--journal FILE] [--prune | --skip-lists]\n"
    "            | apply INVENTORY [--only NAME,...] [--parallel N] [--journal FILE] [--prune | --skip-lists]\n"
    "            [--waves 1,10%,100%] [--max-failures N|P%] [--yes|--no] [--report FILE]");
constexpr QLatin1String kJournalSynopsis(
    "tarnic-cli [--journal FILE] journal [--controller NAME] [--link ENDPOINT] [--operation OP] [--run ID]\n"
    "            [--since DATE] [--until DATE] [--failed] [--last N] [--json | --csv]\n"
    "            | journal verify [--head HASH] | journal export FILE [--anonymous]");
} // namespace

QString usageText()
{
    QString text = QStringLiteral("usage: ") + kLinkSynopsis + QStringLiteral("\n       ") + kFleetSynopsis
        + QStringLiteral("\n       ") + kPlanSynopsis + QStringLiteral("\n       ") + kJournalSynopsis
        + QStringLiteral("\ncommands:\n");
    for (const Command &c : commands())
        if (!c.hidden)
            text += QStringLiteral("  ") + synopsis(c) + QLatin1Char('\n');
    return text;
}

// help2man reads "Options:" as a section of its own, "Commands:" and "Exit
// status:" as subsections, and a line indented by 20 or more as the text of
// the item above it.
QString helpText()
{
    QString text = QStringLiteral("Usage: ") + kLinkSynopsis + QStringLiteral("\n  or:  ") + kFleetSynopsis
        + QStringLiteral("\n  or:  ") + kPlanSynopsis + QStringLiteral("\n  or:  ") + kJournalSynopsis
        + QStringLiteral("\n  or:  tarnic-cli --help | --version\n"
                         "Runs one operation of the Tarnic Flash Utility on a door-access controller over a\n"
                         "serial port or TCP, with the same bytes on the wire as the desktop program.\n"
                         "Every status text, pane line and message goes to stdout, one per line;\n"
                         "usage errors go to stderr.\n"
                         "\n"
                         "Commands:\n");
    for (const Command &c : commands())
        if (!c.hidden)
            text += QStringLiteral("  %1\n%2%3\n")
                        .arg(synopsis(c), QString(20, QLatin1Char(' ')), QString::fromLatin1(c.summary));
    text += QStringLiteral("\n"
                           "Options:\n"
                           "  --serial DEVICE    serial device, e.g. /dev/ttyUSB0\n"
                           "  --baud BAUD        serial line speed: 9600 (default), 19200, 38400, 57600 or 115200\n"
                           "  --tcp HOST[:PORT]  TCP connection to HOST; PORT defaults to 57; an IPv6 address\n"
                           "                     in brackets before a port: [::1]:57\n"
                           "  --rfc2217 HOST:PORT\n"
                           "                     a serial line behind a device server in telnet/RFC 2217 mode\n"
                           "                     (ser2net's telnet(rfc2217) accepter, say), at --baud: the\n"
                           "                     program sets the line's rate; a download needs 9600. Turn\n"
                           "                     off the server's per-character delays (ser2net: chardelay:\n"
                           "                     false), which slow every reply\n"
                           "  --json             JSON Lines on stdout: one object per event (status, line,\n"
                           "                     progress, message, question, error), the last a result with\n"
                           "                     ok, the exit status and what the command learned\n"
                           "  --journal FILE     record into the journal FILE (else $TARNIC_JOURNAL, else\n"
                           "                     ~/.local/share/tarnic-flash-utility/journal.db); exit 2\n"
                           "                     when FILE cannot be written\n"
                           "  --no-journal       record nothing\n"
                           "  --help             print this help and exit\n"
                           "  --version          print the version and exit\n"
                           "\n"
                           "Fleet:\n"
                           "  Runs COMMAND against every controller of INVENTORY, each on a thread of its own\n"
                           "  in one of a few tarnic-cli worker processes (up to 32 controllers a worker); a\n"
                           "  worker that crashes takes down only its own controllers, which are reported crashed\n"
                           "  and retried like any failure. INVENTORY is CSV with a header row: name (letters,\n"
                           "  digits, '-', '_', '.'), link (tcp:HOST[:PORT], serial:DEVICE or rfc2217:HOST:PORT),\n"
                           "  optional baud (serial and rfc2217), image\n"
                           "  and profile (relative to the inventory's folder). A row's image or profile is that\n"
                           "  controller's file for flash, bootext and program, whether or not the command names\n"
                           "  one. Blank lines and lines starting with # are skipped. {name} in an argument\n"
                           "  becomes the controller's name; a file the command writes must contain it. The\n"
                           "  command is checked for every controller before any link opens. Rows whose links\n"
                           "  reach one device or one TCP address and port never run at once.\n"
                           "  --parallel N       at most N controllers at once (default 8)\n"
                           "  --retries K        run a failed controller again up to K times (default 0)\n"
                           "  --only NAME,...    only these controllers (repeatable; each must be in INVENTORY)\n"
                           "  --report FILE      a JSON report: per controller its state, exit status,\n"
                           "                     attempts, times, last status and results\n"
                           "  --log-dir DIR      each controller's output in DIR/NAME.log\n"
                           "  --yes              answer the ID-size question Yes (else No)\n"
                           "  Ctrl-C once starts no further controller; twice stops the running ones.\n"
                           "\n"
                           "Plan and apply:\n"
                           "  Keep each controller of INVENTORY in a desired state, given by optional columns\n"
                           "  (blank: not managed): firmware (an image) with firmware_version (what the\n"
                           "  controller answers to \"V\" once it runs it), desired_profile (a settings profile),\n"
                           "  clock (the largest offset allowed, whole seconds from 2) with clock_hours (-24 to\n"
                           "  24, as time set --hours adds), access (an access-list file) with access_options\n"
                           "  (the options of access download: sorted, schedule), schedules (a schedules\n"
                           "  file). fleet ignores these columns.\n"
                           "  plan INVENTORY     changes nothing: reads each controller's firmware identification\n"
                           "                     and clock, compares the profile's settings with the journal's\n"
                           "                     last programming of that controller (by name or endpoint),\n"
                           "                     reads the access list and the schedules into memory and\n"
                           "                     compares them with the files, and lists per controller the\n"
                           "                     pending actions in the order apply runs them (firmware,\n"
                           "                     profile, clock, prune, access, schedules) with predicted\n"
                           "                     times; lists show counts and keyed hashes, never IDs\n"
                           "  apply INVENTORY    plans, then runs only the pending actions, each checked: a\n"
                           "                     download by \"V\" (asked every 2 s for up to 60 s), a clock set,\n"
                           "                     a list or the schedules by reading them back; a programming\n"
                           "                     run is recorded\n"
                           "  --prune            IDs of the ad hoc list that the file lacks are pending, and\n"
                           "                     apply deletes them (\"R\"); without it they are only reported,\n"
                           "                     as surplus IDs of the sorted list always are (it has no delete)\n"
                           "  --skip-lists       neither read nor apply the access lists and schedules\n"
                           "  --waves LIST       counts and shares of the controllers with pending actions,\n"
                           "                     cumulative (default 100%); a wave starts only when every\n"
                           "                     controller of the one before ended in state\n"
                           "  --max-failures N|P%\n"
                           "                     start no further controller once N (or P % of at least 10\n"
                           "                     attempted) failed\n"
                           "  --yes, --no        answer the ID-size question (default No)\n"
                           "  --report FILE      a JSON report: per controller the actions planned, done,\n"
                           "                     verified, recorded and failed\n"
                           "\n"
                           "Journal:\n"
                           "  Every operation on a controller is recorded as it starts and as it ends: who,\n"
                           "  when (UTC), the controller and link, the operation and its options, the hashes\n"
                           "  of its files, the outcome and the results. Card IDs are never recorded.\n"
                           "  journal [FILTERS]  the operations: time, operator, controller, operation,\n"
                           "                     outcome and main result; --json whole records, --csv a\n"
                           "                     table; DATE is YYYY-MM-DD or an ISO 8601 time (local time\n"
                           "                     unless it has a zone); --failed: all that did not end ok\n"
                           "  journal verify     walks the hash chain: the first record changed, removed or\n"
                           "                     inserted (exit 1), or \"N records, chain intact\"; prints the\n"
                           "                     head hash; --head HASH checks against a head kept earlier\n"
                           "  journal export FILE\n"
                           "                     the whole chain as JSON Lines (--anonymous: without user\n"
                           "                     and host names); prints the head hash\n"
                           "\n"
                           "Exit status:\n"
                           "  0  success (in a fleet: every controller; plan: every controller in state;\n"
                           "     apply: the site ended in state)\n"
                           "  1  the operation failed (in a fleet: on any controller; plan: a controller could\n"
                           "     not be read; apply: the site did not end in state)\n"
                           "  2  usage error, or an inventory error\n"
                           "  3  the link could not be opened\n"
                           "  4  plan: changes are pending, and every controller was read\n"
                           "  130  interrupted (SIGINT or SIGTERM)\n");
    return text;
}

} // namespace cli
