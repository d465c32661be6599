#pragma once

#include "journal/record.h"

#include <vector>

namespace journal {

struct Verdict {
    qsizetype records = 0;
    QString head;    // the newest record's hash
    QString problem; // the first record found changed, removed or inserted; empty when intact
};

// Walks the chain, oldest first. Each record must hash to its own hash and
// name the hash of the record before it; their places count up from 1
// without a gap. Given a head taken earlier, the chain must still hold that
// record: only a head kept elsewhere shows that newest records were removed
// or that the whole chain was rebuilt.
Verdict verifyChain(const std::vector<Record> &records, const QString &head = {});

} // namespace journal
