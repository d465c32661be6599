#pragma once

#include "cli/context.h"
#include "config/settings.h"
#include "core/inputfile.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

namespace cli {

// What settings and program take: a profile, changes on top, and the flags
// and options of the command itself ("--name VALUE" or "--name=VALUE").
struct SettingArgs {
    QString profile;                // --profile FILE
    QStringList sets;               // --set KEY=VALUE, in order
    QStringList flags;              // the flags given
    QHash<QString, QString> values; // the command's options with a value
    QStringList operands;
};

// Nothing after saying why through out.
std::optional<SettingArgs> parseSettingArgs(StdoutSinks &sinks, const QStringList &args, const QStringList &flags,
                                            const QStringList &valued);

// The profile (if any, read through wait) onto the defaults in settings,
// then each change; false after saying why through out, with settings left
// as they were.
bool applySettingArgs(StdoutSinks &out, config::Settings &settings, const SettingArgs &args,
                      const core::ReadWait &wait);

} // namespace cli
