#include "config/settings.h"

namespace config {

void applyConfigDefaults(Settings &) {}

} // namespace config
