#pragma once

namespace app {

// Whether the program records its operations into the journal: on unless a
// technician turned it off, remembered in the program's settings file.
bool journalOn();
void rememberJournalOn(bool on);

} // namespace app
