#include "cli/settingargs.h"

#include "config/profile.h"
#include "config/settingkeys.h"

namespace cli {

std::optional<SettingArgs> parseSettingArgs(StdoutSinks &sinks, const QStringList &args, const QStringList &flags,
                                            const QStringList &valued)
{
    const QStringList withValue = valued + QStringList{QStringLiteral("--profile"), QStringLiteral("--set")};
    SettingArgs out;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (!a.startsWith(QLatin1String("--"))) {
            out.operands << a;
            continue;
        }
        if (flags.contains(a)) {
            out.flags << a;
            continue;
        }
        const qsizetype eq = a.indexOf(QLatin1Char('='));
        const QString name = eq < 0 ? a : a.left(eq);
        if (!withValue.contains(name)) {
            sinks.failure(QStringLiteral("unexpected argument %1").arg(a));
            return std::nullopt;
        }
        if (eq < 0 && ++i >= args.size()) {
            sinks.failure(QStringLiteral("%1 needs a value").arg(name));
            return std::nullopt;
        }
        const QString value = eq < 0 ? args.at(i) : a.mid(eq + 1);
        if (name == QLatin1String("--set")) {
            if (value.indexOf(QLatin1Char('=')) <= 0) {
                sinks.failure(QStringLiteral("--set needs KEY=VALUE, got %1").arg(value));
                return std::nullopt;
            }
            out.sets << value;
        } else if (name == QLatin1String("--profile") ? !out.profile.isEmpty() : out.values.contains(name)) {
            sinks.failure(QStringLiteral("%1 given twice").arg(name));
            return std::nullopt;
        } else if (name == QLatin1String("--profile")) {
            out.profile = value;
        } else {
            out.values.insert(name, value);
        }
    }
    return out;
}

bool applySettingArgs(StdoutSinks &out, config::Settings &settings, const SettingArgs &args, const core::ReadWait &wait)
{
    config::Settings result = settings;
    if (!args.profile.isEmpty()) {
        const config::ProfileRead read = config::readProfile(args.profile, wait);
        if (const auto *error = std::get_if<config::ProfileError>(&read)) {
            out.failure(error->text());
            return false;
        }
        result = std::get<config::Settings>(read);
    }
    for (const QString &set : args.sets) {
        const qsizetype eq = set.indexOf(QLatin1Char('='));
        QString error;
        if (!config::applySetting(result, set.left(eq), set.mid(eq + 1), &error)) {
            out.failure(error);
            return false;
        }
    }
    settings = result;
    return true;
}

} // namespace cli
