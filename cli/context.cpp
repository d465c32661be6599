#include "cli/context.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>

namespace cli {

void StdoutSinks::line(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void StdoutSinks::error(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

bool StdoutSinks::ask(const QString &text)
{
    line(text);
    if (answer) {
        line(*answer ? QStringLiteral("Yes") : QStringLiteral("No"));
        return *answer;
    }
    if (!isatty(STDIN_FILENO)) {
        line(QStringLiteral("No"));
        return false;
    }
    for (;;) {
        std::fputs("[y/n] ", stdout);
        std::fflush(stdout);
        std::string reply;
        if (!std::getline(std::cin, reply))
            return false;
        if (reply == "y" || reply == "Y" || reply == "yes")
            return true;
        if (reply == "n" || reply == "N" || reply == "no")
            return false;
    }
}

} // namespace cli
