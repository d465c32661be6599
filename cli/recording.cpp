#include "cli/recording.h"

#include "cli/context.h"
#include "journal/journal.h"
#include "journal/place.h"

namespace cli {

bool openJournal(const LinkOptions &options, std::unique_ptr<journal::Journal> &opened)
{
    if (options.noJournal)
        return true;
    const journal::Place place = journal::place(options.journal);
    QString error;
    opened = journal::Journal::open(place.path, journal::Journal::Access::Write, &error);
    if (!opened && place.given) {
        StdoutSinks::error(error);
        return false;
    }
    if (!opened)
        warnJournal(error);
    return true;
}

void warnJournal(const QString &text)
{
    StdoutSinks::error(QStringLiteral("warning: %1; the work goes on unrecorded").arg(text));
}

journal::Begin describeRun(const LinkOptions &options)
{
    using Role = journal::File::Role;
    journal::Begin begin;
    begin.link = printedLink(options);
    begin.operation = options.command;
    QStringList rest = options.args;
    const QString verb = rest.value(0);
    if (!rest.isEmpty()
        && QStringList{QStringLiteral("time"), QStringLiteral("id"), QStringLiteral("access"),
                       QStringLiteral("schedules")}
               .contains(options.command)) {
        begin.operation += QLatin1Char(' ') + verb;
        rest.removeFirst();
    }
    // That an ID was added or deleted is all the journal may know of it.
    if (options.command == QLatin1String("id"))
        rest.clear();
    begin.options = rest;
    const auto file = [&begin](Role role, const QString &path, bool written = false) {
        if (!path.isEmpty())
            begin.files.append({role, path, written});
    };
    const bool upload = verb == QLatin1String("upload");
    if (options.command == QLatin1String("flash") || options.command == QLatin1String("bootext"))
        file(Role::Image, rest.value(0));
    else if (options.command == QLatin1String("access"))
        file(Role::AccessList, rest.value(0), upload);
    else if (options.command == QLatin1String("schedules"))
        file(Role::Schedules, rest.value(0), upload);
    const QString profile = QStringLiteral("--profile");
    for (qsizetype i = 0; options.command == QLatin1String("program") && i < rest.size(); ++i) {
        if (rest.at(i) == profile)
            file(Role::Profile, rest.value(i + 1));
        else if (rest.at(i).startsWith(profile + QLatin1Char('=')))
            file(Role::Profile, rest.at(i).mid(profile.size() + 1));
    }
    return begin;
}

QString printedLink(const LinkOptions &options)
{
    return options.tcp ? QStringLiteral("tcp:%1:%2").arg(options.host, options.port)
                       : QStringLiteral("serial:") + options.device;
}

journal::Outcome outcomeOf(int exitCode)
{
    switch (exitCode) {
    case kExitOk:
        return journal::Outcome::Ok;
    case kExitNoLink:
        return journal::Outcome::LinkNotOpened;
    case kExitInterrupted:
        return journal::Outcome::Interrupted;
    default:
        return journal::Outcome::Failed;
    }
}

} // namespace cli
