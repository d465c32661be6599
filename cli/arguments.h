#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace cli {

// One way of calling a command: its verb (where it has verbs), how many
// operands follow, and the options it takes.
struct Form {
    QString verb; // empty: the command takes no verb
    int minOperands = 0;
    int maxOperands = 0;
    QStringList flags;    // --sorted
    QStringList valued;   // --hours N, at most once each
    QStringList repeated; // --set KEY=VALUE, any number of times, in order
};

// A command's words, parsed: options may be written "--name VALUE" or
// "--name=VALUE", anywhere among the operands. Whoever inspects a command
// line (the command itself, a fleet's checks) reads it through this.
struct Arguments {
    QString verb;
    QStringList operands;
    QStringList flags;
    QList<QPair<QString, QString>> options; // in the order given

    bool has(const QString &flag) const { return flags.contains(flag); }
    // The value of an option given at most once; nothing when not given.
    std::optional<QString> value(const QString &option) const;
    // Every value of an option, in order.
    QStringList values(const QString &option) const;
    // Gives the option this value, in place of the one given, if any.
    void setValue(const QString &option, const QString &value);
    // The words again, each option as "--name" "VALUE".
    QStringList words() const;
};

// The option's value as a whole number from min up; fallback when the option
// is not given; nothing when its value is no such number.
std::optional<int> wholeNumber(const Arguments &arguments, const QString &option, int min, int fallback);

// A command as the usage text shows it, and the forms it may take.
struct Grammar {
    QString name;
    QString usage;
    QList<Form> forms;
};

// The words after a command's name; a usage error as text ("access upload:
// unknown option --x") when they fit none of its forms. Operand counts are
// checked apart (checkOperands), so that a fleet can fill in an operand from
// its inventory first.
std::variant<Arguments, QString> parseArguments(const Grammar &grammar, const QStringList &words);
// Empty when the operands fit the form of the verb.
QString checkOperands(const Grammar &grammar, const Arguments &arguments);

} // namespace cli
