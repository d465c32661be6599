#include "cli/commands.h"
#include "cli/settingargs.h"
#include "config/profile.h"
#include "config/program.h"
#include "config/record.h"

#include <QDateTime>
#include <QFileInfo>

namespace cli {

namespace {
const QString kYes = QStringLiteral("--yes");
const QString kNo = QStringLiteral("--no");
const QString kRecord = QStringLiteral("--record");
} // namespace

QString checkProgram(const Arguments &arguments)
{
    if (arguments.has(kYes) && arguments.has(kNo))
        return QStringLiteral("give --yes or --no, not both");
    // A record folder that cannot be one is told before the run, not after.
    const QString record = arguments.value(kRecord).value_or(QString());
    if (const QFileInfo folder(record); !record.isEmpty() && folder.exists() && !folder.isDir())
        return QStringLiteral("--record: %1 is not a folder").arg(record);
    return checkSettingChanges(arguments);
}

// The programming run on the start-up defaults, or a profile, plus the
// changes given:
//   program [--profile FILE] [--set KEY=VALUE]... [--yes|--no] [--record DIR]
// Exit 0 only after "Programming Complete".
int runProgram(Context &c)
{
    if (c.args.has(kYes) || c.args.has(kNo))
        c.out.answer = c.args.has(kYes);
    if (!applySettingArgs(c.out, c.settings, c.args, c.waiter.readWait()))
        return kExitUsage;
    config::SinglePane panes(c.out);
    config::ProgramContext context{c.state, c.link, c.settings, panes, c.out};
    const config::RunOutcome outcome = config::do_program(context);
    c.learn(config::runResults(context));
    const auto record = c.args.value(kRecord);
    if (record && config::reachedController(outcome)) {
        const auto written = config::writeRecord(*record, context, outcome, QDateTime::currentDateTime());
        if (const auto *error = std::get_if<QString>(&written)) {
            c.out.failure(*error);
            return kExitFailure;
        }
    }
    return outcome == config::RunOutcome::Complete ? kExitOk : kExitFailure;
}

} // namespace cli
