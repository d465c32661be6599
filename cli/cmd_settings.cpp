#include "cli/commands.h"
#include "config/settingtable.h"

namespace cli {

// Every configuration setting, one a line, tab-separated: control name,
// screen, caption (with the headings it stands under), kind, default.
int runSettings(Context &c)
{
    if (!c.args.isEmpty()) {
        StdoutSinks::error(QStringLiteral("settings takes no arguments"));
        return kExitUsage;
    }
    for (const config::SettingInfo &i : config::settingTable()) {
        QString caption = i.context.isEmpty() ? i.caption : i.context + QStringLiteral(" / ") + i.caption;
        QString kind = i.kindName();
        if (i.kind == config::SettingKind::Text && i.maxLength > 0)
            kind += QStringLiteral(" %1").arg(i.maxLength);
        if (i.disabled)
            kind += QStringLiteral(" (disabled)");
        c.out.line(QStringList{i.name, i.screen, caption, kind, config::defaultValue(i)}.join(QLatin1Char('\t')));
    }
    return kExitOk;
}

} // namespace cli
