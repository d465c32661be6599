#pragma once

#include "cli/options.h"

namespace cli {

inline constexpr char kJournalCommand[] = "journal";

// tarnic-cli journal [FILTERS] [--json | --csv]: the operations recorded,
//   a table of time, operator, controller, operation, outcome and main
//   result; --json whole records as JSON Lines, --csv for spreadsheets.
// tarnic-cli journal verify [--head HASH]: walks the chain; exit 1 at the
//   first record changed, removed or inserted.
// tarnic-cli journal export FILE [--anonymous]: the whole chain as JSON
//   Lines, written whole or not at all.
// Every form prints the head hash but the listing; exit 2 on a usage error
// or a journal that cannot be read.
int runJournal(const LinkOptions &options);

} // namespace cli
