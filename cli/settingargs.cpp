#include "cli/settingargs.h"

#include "config/profile.h"
#include "config/settingkeys.h"

namespace cli {

namespace {
const QString kSetChange = QStringLiteral("--set");
}

QString checkSettingChanges(const Arguments &arguments)
{
    for (const QString &set : arguments.values(kSetChange))
        if (set.indexOf(QLatin1Char('=')) <= 0)
            return QStringLiteral("--set needs KEY=VALUE, got %1").arg(set);
    return {};
}

bool applySettingArgs(StdoutSinks &out, config::Settings &settings, const Arguments &args, const core::ReadWait &wait)
{
    config::Settings result = settings;
    if (const auto profile = args.value(QStringLiteral("--profile"))) {
        const config::ProfileRead read = config::readProfile(*profile, wait);
        if (const auto *error = std::get_if<config::ProfileError>(&read)) {
            out.failure(error->text());
            return false;
        }
        result = std::get<config::Settings>(read);
    }
    for (const QString &set : args.values(kSetChange)) {
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
