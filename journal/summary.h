#pragma once

#include "journal/record.h"

namespace journal {

// An operation's main result in a few words, for a listing: what ended a
// failed one, else the chief thing it learned or used.
QString mainResult(const Record &record);

} // namespace journal
