#include "journal/place.h"

#include <QDir>
#include <QStandardPaths>

namespace journal {

Place place(const QString &given)
{
    if (!given.isEmpty())
        return Place{given, true};
    const QString named = qEnvironmentVariable("TARNIC_JOURNAL");
    if (!named.isEmpty())
        return Place{named};
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return Place{QDir(data).filePath(QStringLiteral("tarnic-flash-utility/journal.db"))};
}

QString keyPath(const QString &journalPath) { return journalPath + QStringLiteral(".key"); }

} // namespace journal
