#include "journal/chain.h"

namespace journal {

namespace {
// Why record i does not name the hash of the record before it.
QString brokenLink(const std::vector<Record> &records, std::size_t i, const QString &before, qint64 beforeSeq)
{
    const Record &r = records[i];
    // The record after it names the one before it: it was put in between.
    if (i + 1 < records.size() && records[i + 1].prev == before)
        return QStringLiteral("record %1 was inserted").arg(r.seq);
    if (r.seq == beforeSeq + 2)
        return QStringLiteral("record %1 was removed").arg(beforeSeq + 1);
    if (r.seq > beforeSeq + 2)
        return QStringLiteral("records %1 to %2 were removed").arg(beforeSeq + 1).arg(r.seq - 1);
    if (contentHash(r) != r.hash)
        return QStringLiteral("record %1 was changed").arg(r.seq);
    // The one before was changed and given a new hash of its own.
    return QStringLiteral("record %1 was changed").arg(i == 0 ? r.seq : beforeSeq);
}
} // namespace

Verdict verifyChain(const std::vector<Record> &records, const QString &head)
{
    Verdict verdict{static_cast<qsizetype>(records.size()), records.empty() ? kGenesis : records.back().hash, {}};
    QString before = kGenesis;
    qint64 beforeSeq = 0;
    bool headFound = head.isEmpty() || head == kGenesis;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const Record &r = records[i];
        if (r.prev != before || r.seq != beforeSeq + 1) {
            verdict.problem = brokenLink(records, i, before, beforeSeq);
            return verdict;
        }
        if (contentHash(r) != r.hash) {
            verdict.problem = QStringLiteral("record %1 was changed").arg(r.seq);
            return verdict;
        }
        headFound = headFound || r.hash == head;
        before = r.hash;
        beforeSeq = r.seq;
    }
    if (!headFound)
        verdict.problem = QStringLiteral("no record has the head %1: the newest records were removed, or the "
                                         "chain was rebuilt")
                              .arg(head);
    return verdict;
}

} // namespace journal
