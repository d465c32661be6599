#include "cli/context.h"

#include "core/controltext.h"

#include <QJsonDocument>

#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>

namespace cli {

namespace {
void writeLine(const QByteArray &bytes, FILE *to)
{
    ::flockfile(to);
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), to);
    std::fputc('\n', to);
    std::fflush(to);
    ::funlockfile(to);
}
} // namespace

void StdoutSinks::event(const char *kind, const QString &text)
{
    if (m_json)
        print({{QStringLiteral("event"), QLatin1String(kind)}, {QStringLiteral("text"), text}});
    else // a line feed in a reply must not print a line of its own
        textLine(text);
}

void StdoutSinks::print(QJsonObject object)
{
    if (!m_name.isEmpty())
        object.insert(QStringLiteral("name"), m_name);
    jsonLine(object);
}

void StdoutSinks::progress(qint64 percent, const QString &timeLeft)
{
    if (m_json)
        print({{QStringLiteral("event"), QStringLiteral("progress")},
               {QStringLiteral("percent"), percent},
               {QStringLiteral("time_left"), timeLeft}});
}

void StdoutSinks::result(int exitCode, const QJsonObject &results)
{
    if (!m_json)
        return;
    QJsonObject object{{QStringLiteral("event"), QStringLiteral("result")},
                       {QStringLiteral("ok"), exitCode == kExitOk},
                       {QStringLiteral("exit"), exitCode},
                       {QStringLiteral("results"), results}};
    if (exitCode != kExitOk)
        object.insert(QStringLiteral("message"), endText());
    print(object);
}

void StdoutSinks::error(const QString &text) { writeLine(text.toLocal8Bit(), stderr); }

void StdoutSinks::textLine(const QString &text)
{
    writeLine(core::escapeControlCharacters(text.toLocal8Bit()), stdout);
}

void StdoutSinks::jsonLine(const QJsonObject &object)
{
    writeLine(QJsonDocument(object).toJson(QJsonDocument::Compact), stdout);
}

void StdoutSinks::failure(const QString &text)
{
    m_said = text;
    if (m_json)
        print({{QStringLiteral("event"), QStringLiteral("error")}, {QStringLiteral("text"), text}});
    else
        error(text);
}

bool StdoutSinks::ask(const QString &text)
{
    if (m_json) {
        const bool yes = answer.value_or(false);
        print({{QStringLiteral("event"), QStringLiteral("question")},
               {QStringLiteral("text"), text},
               {QStringLiteral("answer"), yes ? QStringLiteral("Yes") : QStringLiteral("No")}});
        return yes;
    }
    line(text);
    if (const std::optional<bool> given = answer) {
        line(*given ? QStringLiteral("Yes") : QStringLiteral("No"));
        return *given;
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
