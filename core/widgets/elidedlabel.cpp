#include "core/widgets/elidedlabel.h"

#include <algorithm>

namespace core {

ElidedLabel::ElidedLabel(QWidget *parent) : QLabel(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setWordWrap(false);
}

void ElidedLabel::setFullText(const QString &text)
{
    m_full = text;
    elide();
}

void ElidedLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::elide()
{
    const int room = contentsRect().width() - std::max(indent(), 0) - 2 * margin();
    const QString shown = fontMetrics().elidedText(m_full, Qt::ElideLeft, room);
    setText(shown);
    setToolTip(shown == m_full ? QString() : m_full);
}

} // namespace core
