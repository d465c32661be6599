#include "config/profilesession.h"

#include "config/profile.h"
#include "config/settingkeys.h"

#include <QFileInfo>

namespace config {

namespace {

core::FileFilter profileFilter() { return {kProfileFilter, kProfileSuffix, {}, QStringLiteral("profiles")}; }

} // namespace

ProfileSession::ProfileSession(Settings &settings, core::FileChooser &files, core::MessageBox &messages)
    : m_settings(settings), m_files(files), m_messages(messages), m_asFiled(assignments(settings))
{}

bool ProfileSession::changed() const { return assignments(m_settings) != m_asFiled; }

bool ProfileSession::open()
{
    if (changed()) {
        switch (m_messages.askUnsaved(kUnsavedQuestion)) {
        case core::MessageBox::Unsaved::Save:
            if (!save())
                return false;
            break;
        case core::MessageBox::Unsaved::Discard:
            break;
        case core::MessageBox::Unsaved::Cancel:
            return false;
        }
    }
    const std::optional<QString> path = m_files.openFile(QStringLiteral("Open Settings"), profileFilter());
    if (!path)
        return false;
    const ProfileRead read = readProfile(*path);
    if (const auto *error = std::get_if<ProfileError>(&read)) {
        m_messages.message(error->text());
        return false;
    }
    m_settings = std::get<Settings>(read);
    m_path = *path;
    m_asFiled = assignments(m_settings);
    return true;
}

bool ProfileSession::save()
{
    const QString name = m_path.isEmpty() ? QStringLiteral("site.tfp") : m_path;
    const std::optional<QString> path = m_files.saveFile(QStringLiteral("Save Settings"), profileFilter(), name);
    if (!path)
        return false;
    if (const auto error = writeProfile(*path, profileText(m_settings, false))) {
        m_messages.message(*error);
        return false;
    }
    m_path = *path;
    m_asFiled = assignments(m_settings);
    return true;
}

QString ProfileSession::statusText() const
{
    if (m_path.isEmpty())
        return QStringLiteral("Settings profile: none");
    const QString name = QFileInfo(m_path).fileName();
    return changed() ? QStringLiteral("Settings profile: %1, changed").arg(name)
                     : QStringLiteral("Settings profile: %1").arg(name);
}

} // namespace config
