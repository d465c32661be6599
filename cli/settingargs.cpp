#include "cli/settingargs.h"

#include "config/profile.h"
#include "config/settingkeys.h"

namespace cli {

namespace {
const QString kSet = QStringLiteral("--set");
}

QString checkSettingChanges(const Arguments &arguments)
{
    for (const QString &set : arguments.values(kSet))
        if (set.indexOf(QLatin1Char('=')) <= 0)
            return QStringLiteral("--set needs KEY=VALUE, got %1").arg(set);
    return {};
}

bool applySettingArgs(StdoutSinks &out, config::Settings &settings, const Arguments &args)
{
    config::Settings result = settings;
    if (const auto profile = args.value(QStringLiteral("--profile"))) {
        const config::ProfileRead read = config::readProfile(*profile);
        if (const auto *error = std::get_if<config::ProfileError>(&read)) {
            out.failure(error->text());
            return false;
        }
        result = std::get<config::Settings>(read);
    }
    for (const QString &set : args.values(kSet)) {
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
