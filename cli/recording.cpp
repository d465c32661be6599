#include "cli/recording.h"

#include "cli/commands.h"
#include "journal/desk.h"
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

void warnJournal(const QString &text) { StdoutSinks::error(journal::unrecorded(text)); }

namespace {
journal::File::Role roleOf(FileWord::Role role)
{
    switch (role) {
    case FileWord::Role::Profile:
        return journal::File::Role::Profile;
    case FileWord::Role::AccessList:
        return journal::File::Role::AccessList;
    case FileWord::Role::Schedules:
        return journal::File::Role::Schedules;
    default:
        return journal::File::Role::Image;
    }
}
} // namespace

journal::Begin describeRun(const LinkOptions &options)
{
    journal::Begin begin;
    begin.link = options.endpoint ? options.endpoint->toString() : QString();
    begin.operation = options.command;
    begin.options = options.args;
    const Command *command = findCommand(options.command);
    const auto parsed = command ? parseArguments(command->grammar(), options.args) : std::variant<Arguments, QString>();
    const auto *arguments = std::get_if<Arguments>(&parsed);
    if (!arguments)
        return begin;
    if (!arguments->verb.isEmpty())
        begin.operation += QLatin1Char(' ') + arguments->verb;
    // That an ID was added or deleted is all the journal may know of it.
    begin.options = options.command == QLatin1String("id") ? QStringList()
                                                           : arguments->words().mid(arguments->verb.isEmpty() ? 0 : 1);
    for (const FileWord &word : fileWords(options.command, arguments->verb)) {
        const auto path = word.in(*arguments);
        if (!path || path->isEmpty() || word.role == FileWord::Role::RecordFolder)
            continue;
        begin.files.append({roleOf(word.role), *path, word.writes});
    }
    return begin;
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
