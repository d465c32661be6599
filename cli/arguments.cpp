#include "cli/arguments.h"

namespace cli {

namespace {
const Form *formOf(const Grammar &grammar, const QString &verb)
{
    for (const Form &f : grammar.forms)
        if (f.verb == verb)
            return &f;
    return nullptr;
}

QString takes(const Grammar &grammar)
{
    return QStringLiteral("%1 takes %2")
        .arg(grammar.name, grammar.usage.isEmpty() ? QStringLiteral("no arguments") : grammar.usage);
}
} // namespace

std::optional<QString> Arguments::value(const QString &option) const
{
    for (const auto &[name, value] : options)
        if (name == option)
            return value;
    return std::nullopt;
}

QStringList Arguments::values(const QString &option) const
{
    QStringList found;
    for (const auto &[name, value] : options)
        if (name == option)
            found << value;
    return found;
}

void Arguments::setValue(const QString &option, const QString &value)
{
    for (auto &[name, given] : options) {
        if (name == option) {
            given = value;
            return;
        }
    }
    options.append({option, value});
}

QStringList Arguments::words() const
{
    QStringList all;
    if (!verb.isEmpty())
        all << verb;
    all << operands << flags;
    for (const auto &[name, value] : options)
        all << name << value;
    return all;
}

std::optional<int> wholeNumber(const Arguments &arguments, const QString &option, int min, int fallback)
{
    const auto text = arguments.value(option);
    if (!text)
        return fallback;
    bool ok = false;
    const int n = text->toInt(&ok);
    return ok && n >= min ? std::optional<int>(n) : std::nullopt;
}

std::variant<Arguments, QString> parseArguments(const Grammar &grammar, const QStringList &words)
{
    Arguments parsed;
    qsizetype i = 0;
    const bool verbs = !grammar.forms.value(0).verb.isEmpty();
    if (verbs) {
        parsed.verb = words.value(0);
        i = 1;
    }
    const Form *form = formOf(grammar, parsed.verb);
    if (!form)
        return takes(grammar);
    const QString who = verbs ? grammar.name + QLatin1Char(' ') + parsed.verb : grammar.name;
    for (; i < words.size(); ++i) {
        const QString &word = words.at(i);
        if (!word.startsWith(QLatin1String("--"))) {
            parsed.operands << word;
            continue;
        }
        const qsizetype eq = word.indexOf(QLatin1Char('='));
        const QString name = eq < 0 ? word : word.left(eq);
        if (form->flags.contains(name)) {
            if (eq >= 0)
                return QStringLiteral("%1: %2 takes no value").arg(who, name);
            if (!parsed.flags.contains(name))
                parsed.flags << name;
            continue;
        }
        const bool repeated = form->repeated.contains(name);
        if (!repeated && !form->valued.contains(name))
            return QStringLiteral("%1: unknown option %2").arg(who, name);
        if (eq < 0 && i + 1 >= words.size())
            return QStringLiteral("%1: %2 needs a value").arg(who, name);
        if (!repeated && parsed.value(name))
            return QStringLiteral("%1: %2 given twice").arg(who, name);
        parsed.options.append({name, eq < 0 ? words.at(++i) : word.mid(eq + 1)});
    }
    return parsed;
}

QString checkOperands(const Grammar &grammar, const Arguments &arguments)
{
    const Form *form = formOf(grammar, arguments.verb);
    const auto count = arguments.operands.size();
    if (!form || count < form->minOperands || count > form->maxOperands)
        return takes(grammar);
    return {};
}

} // namespace cli
