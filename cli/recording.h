#pragma once

#include "cli/options.h"
#include "journal/operation.h"

#include <memory>

namespace journal {
class Journal;
}

namespace cli {

// Opens the journal this invocation records into, for writing: none when it
// is turned off or cannot be written (stderr then says so, and the work goes
// on). False when the journal given with --journal cannot be written: the
// command fails before it sends anything.
bool openJournal(const LinkOptions &options, std::unique_ptr<journal::Journal> &opened);

// What the journal keeps of a single-controller command as it begins: the
// operation, its options (never a card ID), the files it reads or writes and
// the link.
journal::Begin describeRun(const LinkOptions &options);

// What an exit status says of how the operation ended.
journal::Outcome outcomeOf(int exitCode);

// A journal that cannot be written, said on stderr.
void warnJournal(const QString &text);

} // namespace cli
