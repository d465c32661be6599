#include "core/widgets/labelbutton.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QShortcut>

namespace core {

LabelButton::LabelButton(const QString &caption, QWidget *parent) : QLabel(caption, parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setTextColor(kActionColour);
}

void LabelButton::setTextColor(const QColor &colour)
{
    m_colour = colour;
    QPalette p = palette();
    p.setColor(QPalette::Active, QPalette::WindowText, colour);
    p.setColor(QPalette::Inactive, QPalette::WindowText, colour);
    setPalette(p);
}

void LabelButton::setQuiet()
{
    m_quiet = true;
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::NoFocus);
    setTextColor(QApplication::palette(this).color(QPalette::Active, QPalette::WindowText));
    updateUnderline();
}

void LabelButton::setShortcut(const QKeySequence &keys, QWidget *scope, Qt::ShortcutContext context)
{
    auto *shortcut = new QShortcut(keys, scope);
    shortcut->setContext(context);
    connect(shortcut, &QShortcut::activated, this, [this] {
        if (isEnabled())
            Q_EMIT clicked();
    });
    setToolTip(keys.toString(QKeySequence::NativeText));
}

void LabelButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && isEnabled())
        Q_EMIT clicked();
    QLabel::mouseReleaseEvent(event);
}

void LabelButton::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Q_EMIT clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

void LabelButton::enterEvent(QEnterEvent *event)
{
    m_hovered = true;
    updateUnderline();
    QLabel::enterEvent(event);
}

void LabelButton::leaveEvent(QEvent *event)
{
    m_hovered = false;
    updateUnderline();
    QLabel::leaveEvent(event);
}

void LabelButton::focusInEvent(QFocusEvent *event)
{
    updateUnderline();
    QLabel::focusInEvent(event);
}

void LabelButton::focusOutEvent(QFocusEvent *event)
{
    updateUnderline();
    QLabel::focusOutEvent(event);
}

void LabelButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange)
        updateUnderline();
    QLabel::changeEvent(event);
}

void LabelButton::updateUnderline()
{
    const bool on = !m_quiet && isEnabled() && (m_hovered || hasFocus());
    if (font().underline() == on)
        return;
    QFont f = font();
    f.setUnderline(on);
    setFont(f);
}

} // namespace core
