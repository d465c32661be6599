#pragma once

#include "config/settings.h"
#include "core/sinks.h"

#include <QString>
#include <QStringList>

namespace config {

inline const QString kUnsavedQuestion =
    QStringLiteral("The settings have changes that are not saved. Save them before opening another profile?");

// Open Settings / Save Settings on the settings the screens hold, and which
// profile that is: the name of the file last opened or saved, and whether
// the settings changed since. Start-up holds the defaults and no profile.
class ProfileSession {
public:
    ProfileSession(Settings &settings, core::FileChooser &files, core::MessageBox &messages);

    // Asks for a file; a profile it cannot take is refused with its reason
    // and leaves the settings as they were. Settings not yet saved are first
    // saved, discarded or kept (nothing opened), as the technician answers.
    // True when the settings changed to the file's.
    bool open();
    bool save();
    // "Settings profile: site.tfp", with ", changed" after an edit.
    QString statusText() const;

private:
    // The settings differ from the file last opened or saved (from the
    // defaults before any).
    bool changed() const;

    Settings &m_settings;
    core::FileChooser &m_files;
    core::MessageBox &m_messages;
    QString m_path;
    QStringList m_asFiled; // the settings' values as opened or saved
};

} // namespace config
