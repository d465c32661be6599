#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

namespace testing {

// True while this process holds a descriptor on the file at path, or on a
// file beside it whose name starts with its name (a save file's temporary).
inline bool holdsOpen(const QString &path)
{
    const QFileInfo info(path);
    const QString prefix = QFileInfo(info.absolutePath()).canonicalFilePath() + QLatin1Char('/') + info.fileName();
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString &fd : fds.entryList(QDir::System | QDir::NoDotAndDotDot))
        if (QFile::symLinkTarget(fds.filePath(fd)).startsWith(prefix))
            return true;
    return false;
}

} // namespace testing
