#include "cli/commands.h"
#include "cli/settingargs.h"
#include "config/profile.h"
#include "config/settingkeys.h"
#include "core/safewrite.h"

namespace cli {

namespace {

const QString kDiff = QStringLiteral("--diff");
const QString kSave = QStringLiteral("--save");

// settings --diff A B: the settings whose values differ, key and both values
// tab-separated; exit 0 when none differ, 1 when some do, 2 when a file is
// not a profile (as diff does).
int runDiff(StdoutSinks &out, const QStringList &files, const core::ReadWait &wait)
{
    config::Settings sides[2];
    for (int i = 0; i < 2; ++i) {
        const config::ProfileRead read = config::readProfile(files.at(i), wait);
        if (const auto *error = std::get_if<config::ProfileError>(&read)) {
            out.failure(error->text());
            return kExitUsage;
        }
        sides[i] = std::get<config::Settings>(read);
    }
    int rc = kExitOk;
    for (const config::SettingKey &k : config::settingKeys()) {
        const QString a = k.value(sides[0]);
        const QString b = k.value(sides[1]);
        if (a != b) {
            out.line(QStringList{k.key, a, b}.join(QLatin1Char('\t')));
            rc = kExitFailure;
        }
    }
    return rc;
}

} // namespace

QString checkSettings(const Arguments &arguments)
{
    if (arguments.has(kDiff)) {
        if (arguments.operands.size() != 2 || arguments.flags.size() != 1 || !arguments.options.isEmpty())
            return QStringLiteral("settings --diff takes two profiles and nothing else");
        return {};
    }
    if (!arguments.operands.isEmpty())
        return QStringLiteral("settings: unexpected argument %1").arg(arguments.operands.constFirst());
    const QString saveTo = arguments.value(kSave).value_or(QString());
    if (const QString problem = saveTo.isEmpty() ? QString() : core::outputPathProblem(saveTo); !problem.isEmpty())
        return QStringLiteral("--save: %1").arg(problem);
    return checkSettingChanges(arguments);
}

// The effective settings, one a line, tab-separated: readable key, value,
// screen, caption (with the headings it stands under):
//   settings [--profile FILE] [--set KEY=VALUE]... [--changed] [--save FILE [--all]]
//   settings --diff FILE_A FILE_B
int runSettings(Context &c)
{
    const Arguments &args = c.args;
    if (args.has(kDiff))
        return runDiff(c.out, args.operands, c.waiter.readWait());
    if (!applySettingArgs(c.out, c.settings, args, c.waiter.readWait()))
        return kExitUsage;
    const bool changed = args.has(QStringLiteral("--changed"));
    for (const config::SettingKey &k : config::settingKeys()) {
        const QString value = k.value(c.settings);
        if (!changed || value != k.defaultValue())
            c.out.line(QStringList{k.key, value, k.screen, k.caption}.join(QLatin1Char('\t')));
    }
    if (const auto save = args.value(kSave)) {
        const QByteArray text = config::profileText(c.settings, args.has(QStringLiteral("--all")));
        if (const auto error = config::writeProfile(*save, text)) {
            c.out.failure(*error);
            return kExitFailure;
        }
    }
    return kExitOk;
}

} // namespace cli
