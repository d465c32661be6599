#include "core/widgets/digitfilter.h"

#include "core/controltext.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace core {

void DigitFilter::install(QLineEdit *field)
{
    field->installEventFilter(new DigitFilter(field));
    dropControlCharacters(field);
}

void dropControlCharacters(QLineEdit *field)
{
    QObject::connect(field, &QLineEdit::textEdited, field, [field](const QString &text) {
        if (firstControlCharacter(text) >= 0)
            field->setText(withoutControlCharacters(text));
    });
}

bool DigitFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    switch (key->key()) {
    case Qt::Key_Backspace:
    // Keys that type nothing into a field: Tab and Backtab move the focus,
    // Enter and Escape belong to the screen.
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        return false;
    default:
        break;
    }
    const QString text = key->text();
    if (text.isEmpty())
        return false; // navigation, Delete and the like
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
        return false; // shortcuts (copy, paste, select all)
    const QChar c = text.at(0);
    return text.size() != 1 || c < QLatin1Char('0') || c > QLatin1Char('9');
}

} // namespace core
