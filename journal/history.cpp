#include "journal/history.h"

#include "journal/journal.h"

#include <QJsonArray>

namespace journal {

namespace {
const QString kProgram = QStringLiteral("program");

bool ended(const Record &r) { return r.kind == kEnded; }

bool completedProgramming(const Record &r)
{
    return r.operation == kProgram && ended(r) && r.outcome == outcomeName(Outcome::Ok)
        && !r.results.value(QLatin1String("settings_sha256")).toString().isEmpty();
}

// A programming run that stopped before its first command changed nothing
// (an ID-size question answered No, no reply to "x").
bool sentCommands(const Record &r) { return !ended(r) || !r.results.value(QLatin1String("lines")).toArray().isEmpty(); }

bool leftInBootCode(const Record &r) { return !ended(r) || r.results.value(QLatin1String("boot_code")).toBool(); }
} // namespace

History::History(const Journal &journal, const LinkKeys &keysOf, QString *error)
{
    Filter filter;
    filter.operations = {kProgram, QStringLiteral("flash"), QStringLiteral("bootext")};
    m_records = journal.operations(filter, error);
    for (const Record &r : m_records)
        if (!m_keys.contains(r.link))
            m_keys.insert(r.link, keysOf(r.link));
}

ControllerHistory History::of(const QString &name, const QStringList &linkKeys) const
{
    const auto mine = [&](const Record &r) {
        if (!name.isEmpty() && r.controller == name)
            return true;
        const QStringList keys = m_keys.value(r.link);
        return std::any_of(keys.begin(), keys.end(), [&](const QString &k) { return linkKeys.contains(k); });
    };
    ControllerHistory h;
    for (const Record &r : m_records) {
        // A link that never opened reached nothing.
        if ((ended(r) && r.outcome == outcomeName(Outcome::LinkNotOpened)) || !mine(r))
            continue;
        if (completedProgramming(r)) {
            h.programmed = r;
            h.staleBy.reset();
            h.bootCode.reset();
            continue;
        }
        const bool download = r.operation != kProgram;
        if (h.programmed && !h.staleBy && (download || sentCommands(r)))
            h.staleBy = r;
        if (download)
            h.bootCode = leftInBootCode(r) ? std::optional<Record>(r) : std::nullopt;
    }
    return h;
}

} // namespace journal
