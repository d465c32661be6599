#include "app/journalsetting.h"

#include "core/programsettings.h"

namespace app {

namespace {
const QString kKey = QStringLiteral("journal/record");
}

bool journalOn() { return core::programSettings().value(kKey, true).toBool(); }

void rememberJournalOn(bool on) { core::programSettings().setValue(kKey, on); }

} // namespace app
