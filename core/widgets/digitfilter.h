#pragma once

#include <QObject>

class QLineEdit;

namespace core {

// Lets only the digits 0-9 and Backspace through to a text field from the
// keyboard. Other keys are swallowed before they reach the field. Editing,
// navigation and focus keys (Delete, arrows, Tab, Backtab, Enter, Escape)
// keep working. Control characters are dropped however they come (see
// dropControlCharacters).
class DigitFilter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    static void install(QLineEdit *field);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

// Drops control characters from what is pasted or dropped into a field: the
// text becomes part of a command, where they would change it.
void dropControlCharacters(QLineEdit *field);

} // namespace core
