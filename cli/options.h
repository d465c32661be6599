#pragma once

#include "link/endpoint.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace cli {

// tarnic-cli [--json] [--journal FILE | --no-journal]
//            ((--serial DEVICE | --rfc2217 HOST:PORT) [--baud B] | --tcp HOST[:PORT]) COMMAND [ARGS]
//            | [--json] [--journal FILE | --no-journal] fleet INVENTORY [OPTIONS] -- COMMAND [ARGS]
//            | [--json] [--journal FILE] journal [ARGS]
//            | --help | --version
struct LinkOptions {
    enum class Request { Run, Help, Version };
    Request request = Request::Run;
    std::optional<wire::Endpoint> endpoint; // none for the commands that need no link
    bool json = false;                      // JSON Lines on stdout
    QString journal;                        // --journal FILE
    bool noJournal = false;
    QString command;
    QStringList args;
};

// Parses the link options and the command name; a usage error is returned as
// text in error.
std::optional<LinkOptions> parseLinkOptions(const QStringList &arguments, QString *error);

// The short form shown with a usage error (stderr).
QString usageText();
// The full text of --help (stdout), laid out so that help2man makes the
// manual page from it.
QString helpText();

} // namespace cli
