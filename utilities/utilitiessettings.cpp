#include "utilities/utilitiessettings.h"

namespace utilities {

void applyUtilitiesDefaults(UtilitiesSettings &settings)
{
    settings.add = true;
    settings.autoClear = true;
    settings.adHoc = true;
    settings.hours = QStringLiteral("00");
}

} // namespace utilities
