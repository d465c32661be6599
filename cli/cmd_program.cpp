#include "cli/commands.h"
#include "cli/settingargs.h"
#include "config/profile.h"
#include "config/program.h"
#include "config/record.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>

namespace cli {

namespace {
// Both panes on the command line's output, keeping each command sent with
// its reply (null where none came) as the run's typed result.
class RecordingPanes final : public config::ProgressPanes {
public:
    explicit RecordingPanes(core::Pane &pane) : m_pane(pane) {}
    void clear() override {}
    core::Pane &picture1() override { return m_pane; }
    core::Pane &picture2() override { return m_pane; }
    void openLine(core::Pane &pane, const QString &text) override
    {
        ProgressPanes::openLine(pane, text);
        m_sent = text;
    }
    void endLine(core::Pane &pane, const QString &rest) override
    {
        ProgressPanes::endLine(pane, rest);
        const QString reply = rest.trimmed();
        lines.append(QJsonArray{m_sent, reply.isEmpty() ? QJsonValue() : QJsonValue(reply.mid(1, reply.size() - 2))});
    }

    QJsonArray lines;

private:
    core::Pane &m_pane;
    QString m_sent;
};

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
    RecordingPanes panes(c.out);
    config::ProgramContext context{c.state, c.link, c.settings, panes, c.out};
    const config::RunOutcome outcome = config::do_program(context);
    if (context.programmed) {
        c.results.insert(QStringLiteral("settings_sha256"), config::settingsHash(*context.programmed));
        c.results.insert(QStringLiteral("lines"), panes.lines);
    }
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
