#include "cli/commands.h"
#include "cli/listfile.h"
#include "core/controltext.h"
#include "core/inputfile.h"
#include "utilities/lists.h"

#include <QJsonObject>

namespace cli {

// prune FILE [--schedule]: deletes ("R", as id delete does) every ID of the
// ad hoc list that the file does not hold, on one link session. The sorted
// list has no delete.
int runPrune(Context &c)
{
    const auto lines = readFileLines(c, c.args.operands.constFirst(), core::kAccessListFile);
    if (!lines)
        return kExitUsage;
    utilities::Actions actions(c.link, c.out);
    const utilities::Actions::Turn turn(actions);
    if (!turn)
        return kExitFailure;
    utilities::ListReader held;
    if (actions.upload_accesslist(true, held, &turn).outcome != utilities::Outcome::Done)
        return kExitFailure;
    const auto surplus =
        utilities::compareLists(utilities::listOfFile(*lines, c.args.has(QStringLiteral("--schedule"))), held.records())
            .surplus;
    qint64 deleted = 0;
    for (const QByteArray &id : surplus) {
        // What the controller sent goes back into a command: never a control character.
        if (core::firstControlCharacter(id) >= 0
            || actions.adHocDelete(QString::fromLatin1(id), &turn) != utilities::Outcome::Done)
            break;
        ++deleted;
    }
    c.results.insert(QStringLiteral("prune"),
                     QJsonObject{{QStringLiteral("surplus"), surplus.size()}, {QStringLiteral("deleted"), deleted}});
    if (deleted < surplus.size())
        c.out.failure(QStringLiteral("%1 of %2 surplus IDs deleted").arg(deleted).arg(surplus.size()));
    return deleted == surplus.size() ? kExitOk : kExitFailure;
}

} // namespace cli
