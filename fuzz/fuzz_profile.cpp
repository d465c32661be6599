// The settings profile reader: any bytes give settings or one error with a
// line inside the text, and settings it takes, written out again, read back
// as the same settings.
#include "config/profile.h"
#include "config/settingkeys.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const config::ProfileRead read = config::parseProfile(text, QStringLiteral("fuzz.tfp"));
    if (const auto *error = std::get_if<config::ProfileError>(&read)) {
        if (error->line < 1 || error->line > text.count('\n') + 1 || error->reason.isEmpty())
            std::abort();
        return 0;
    }
    const auto &settings = std::get<config::Settings>(read);
    for (const bool all : {false, true}) {
        const config::ProfileRead again = config::parseProfile(config::profileText(settings, all), QString());
        if (!std::holds_alternative<config::Settings>(again)
            || config::assignments(std::get<config::Settings>(again)) != config::assignments(settings))
            std::abort();
    }
    return 0;
}
