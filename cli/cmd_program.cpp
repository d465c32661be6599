#include "cli/commands.h"
#include "config/program.h"
#include "config/settingtable.h"

namespace cli {

// The programming run on the start-up defaults plus the changes given:
//   program [--set NAME=VALUE]... [--yes|--no]
// Exit 0 only after "Programming Complete".
int runProgram(Context &c)
{
    for (int i = 0; i < c.args.size(); ++i) {
        const QString &a = c.args.at(i);
        if (a == QLatin1String("--yes") || a == QLatin1String("--no")) {
            const bool yes = a == QLatin1String("--yes");
            if (c.out.answer && *c.out.answer != yes) {
                StdoutSinks::error(QStringLiteral("give --yes or --no, not both"));
                return kExitUsage;
            }
            c.out.answer = yes;
            continue;
        }
        QString assignment;
        if (a == QLatin1String("--set")) {
            if (++i >= c.args.size()) {
                StdoutSinks::error(QStringLiteral("--set needs NAME=VALUE"));
                return kExitUsage;
            }
            assignment = c.args.at(i);
        } else if (a.startsWith(QLatin1String("--set="))) {
            assignment = a.mid(6);
        } else {
            StdoutSinks::error(QStringLiteral("program: unexpected argument %1").arg(a));
            return kExitUsage;
        }
        const auto eq = assignment.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            StdoutSinks::error(QStringLiteral("--set needs NAME=VALUE, got %1").arg(assignment));
            return kExitUsage;
        }
        QString error;
        if (!config::setSetting(c.settings, assignment.left(eq), assignment.mid(eq + 1), &error)) {
            StdoutSinks::error(error);
            return kExitUsage;
        }
    }
    config::SinglePane panes(c.out);
    config::ProgramContext context{c.state, c.link, c.settings, panes, c.out};
    return config::do_program(context) == config::RunOutcome::Complete ? kExitOk : kExitFailure;
}

} // namespace cli
