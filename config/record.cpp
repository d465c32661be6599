#include "config/record.h"

#include "config/profile.h"
#include "core/safewrite.h"
#include "link/link.h"

#include <QDir>

namespace config {

namespace {

QString outcomeText(RunOutcome outcome)
{
    switch (outcome) {
    case RunOutcome::Complete:
        return QStringLiteral("Programming Complete");
    case RunOutcome::NoIdReply:
        return QStringLiteral("no reply to the ID-size query (Error 000A)");
    case RunOutcome::Declined:
        return QStringLiteral("declined at the ID-size question");
    case RunOutcome::NoVersionReply:
        return QStringLiteral("no version reply (Error 000)");
    case RunOutcome::NoReply:
        return QStringLiteral("stopped: a command got no reply");
    case RunOutcome::Quit:
        return QStringLiteral("stopped: the program closed");
    case RunOutcome::Busy:
    case RunOutcome::CheckFailed:
    case RunOutcome::SendFailed:
        break;
    }
    return QStringLiteral("not run");
}

// A reply on one comment line: control characters would end the comment.
QString printable(const QByteArray &reply)
{
    QString text = QString::fromLatin1(reply);
    for (QChar &c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char(' ');
    return text;
}

} // namespace

bool reachedController(RunOutcome outcome)
{
    return outcome != RunOutcome::Busy && outcome != RunOutcome::CheckFailed && outcome != RunOutcome::SendFailed;
}

std::variant<RecordWritten, QString> writeRecord(const QString &dir, const ProgramContext &run, RunOutcome outcome,
                                                 const QDateTime &when)
{
    if (!run.programmed)
        return QStringLiteral("the run programmed nothing");
    if (!QDir().mkpath(dir))
        return QStringLiteral("%1: cannot create the folder").arg(dir);
    const QString stem = QDir(dir).filePath(when.toString(QStringLiteral("'tarnic-'yyyyMMdd-HHmmss")));
    // Runs that end within a second, in this process or another, keep their
    // records side by side: each takes the first name no file has.
    const auto name = [&stem](int n) {
        return n == 1 ? QStringLiteral("%1.%2").arg(stem, kProfileSuffix)
                      : QStringLiteral("%1-%2.%3").arg(stem).arg(n).arg(kProfileSuffix);
    };
    const auto &link = run.link.opened();
    const QStringList notes{
        QStringLiteral("Programmed %1").arg(when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODate)),
        QStringLiteral("Link: %1").arg(link ? link->description() : QStringLiteral("none")),
        QStringLiteral("Controller: %1").arg(printable(run.versionReply)),
        QStringLiteral("Outcome: %1").arg(outcomeText(outcome)),
    };
    core::SafeFile file;
    std::optional<QString> path;
    if (file.open(name(1)) && file.write(profileText(*run.programmed, true, notes)))
        path = file.commitNew(name);
    if (!path)
        return file.error();
    return RecordWritten{*path};
}

} // namespace config
