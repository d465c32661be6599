#include "core/programsettings.h"

#include <QCoreApplication>

namespace core {

QSettings programSettings() { return QSettings(QCoreApplication::applicationName(), QString()); }

} // namespace core
