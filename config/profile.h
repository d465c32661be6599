#pragma once

#include "config/settings.h"
#include "core/inputfile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace config {

// A settings profile: UTF-8 text, first line "# tarnic-profile 1", then "#"
// comments, blank lines and "key = value" lines (readable keys or control
// names). Reading starts from the defaults and applies every line or none.
inline constexpr int kProfileFormat = 1;
inline const QString kProfileFilter = QStringLiteral("Settings profiles (*.tfp)");
inline const QString kProfileSuffix = QStringLiteral("tfp");

// Why a profile was refused: the file, the line (0 when the file as a whole)
// and the reason.
struct ProfileError {
    QString file;
    int line = 0;
    QString reason;

    QString text() const; // "site.tfp:4: ..." as compilers put it
};

using ProfileRead = std::variant<Settings, ProfileError>;

// Takes nothing but the text: file only names it in an error.
ProfileRead parseProfile(const QByteArray &text, const QString &file);
// At most 1 MiB; a pipe is read through wait (see core::readInputFile).
ProfileRead readProfile(const QString &path, const core::ReadWait &wait = {});

// The profile of settings: the settings that differ from the defaults, or all
// of them; notes become comment lines under the first.
QByteArray profileText(const Settings &settings, bool all, const QStringList &notes = {});
// The SHA-256 (hex) of every setting as profileText(settings, true) writes
// them: two runs programmed the same settings when their hashes agree.
QString settingsHash(const Settings &settings);
// Replaces the file whole or leaves it as it was; the reason on failure.
std::optional<QString> writeProfile(const QString &path, const QByteArray &text);

} // namespace config
