#include "terminal/screens/terminalview.h"

#include "core/widgets/twips.h"
#include "terminal/keyboard.h"
#include "terminal/session.h"

#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace terminal {

namespace {
constexpr int kCellWidth = 250;  // twips
constexpr int kCellHeight = 275; // twips
constexpr int kHexFirstDy = 25;
constexpr int kHexSecondDx = 100;
constexpr int kHexSecondDy = 100;
const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);

QFont cellFont(int points)
{
    QFont f;
    f.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")});
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    f.setBold(true);
    f.setPointSize(points);
    return f;
}
} // namespace

TerminalView::TerminalView(Session &session, QWidget *parent)
    : QWidget(parent), m_session(session), m_hexFont(cellFont(10))
{
    setObjectName(QStringLiteral("pop1"));
    setFont(cellFont(14));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    setFixedSize(sizeHint());
    // The font's ascent and descent together are taller than the cell; the
    // ink of the characters drawn as themselves is not. The baseline is
    // placed so that ink sits in the middle of the cell.
    const QFontMetricsF metrics(font(), this);
    QRectF ink;
    for (int code = 0; code < 256; ++code)
        if (Grid::drawnAsItself(static_cast<quint8>(code)) && code != ' ')
            ink |= metrics.tightBoundingRect(QString(QChar::fromLatin1(static_cast<char>(code))));
    m_textOrigin = QPointF(std::max(0.0, -ink.left()), (y(kCellHeight) - ink.height()) / 2 - ink.top());
    Grid &g = m_session.grid();
    g.onCellChanged = [this](int c, int r) { markDirty(cellRect(c, r)); };
    g.onCleared = [this] { markDirty(rect()); };
}

qreal TerminalView::x(int twips) const { return twips * logicalDpiX() / 1440.0; }
qreal TerminalView::y(int twips) const { return twips * logicalDpiY() / 1440.0; }

QSize TerminalView::sizeHint() const
{
    return {core::twipsToPixelsX(this, kColumns * kCellWidth), core::twipsToPixelsY(this, kRows * kCellHeight)};
}

// Exact, not rounded: rounded cells would gain or lose a pixel row by row.
QRectF TerminalView::cellRectF(int column, int row) const
{
    return {x((column - 1) * kCellWidth), y((row - 1) * kCellHeight), x(kCellWidth), y(kCellHeight)};
}

QRect TerminalView::cellRect(int column, int row) const { return cellRectF(column, row).toAlignedRect(); }

QPointF TerminalView::textOrigin(int column, int row) const { return cellRectF(column, row).topLeft() + m_textOrigin; }

// Many cells change per piece of input; one repaint covers them all.
void TerminalView::markDirty(const QRect &rect)
{
    m_dirty |= rect;
    if (m_flushQueued)
        return;
    m_flushQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_flushQueued = false;
            update(m_dirty);
            m_dirty = QRect();
        },
        Qt::QueuedConnection);
}

void TerminalView::paintEvent(QPaintEvent *event)
{
    ++m_paints;
    QPainter p(this); // in the widget's font: the characters' font
    const QRect area = event->rect();
    p.fillRect(area, kWhite);
    const Grid &g = m_session.grid();
    for (int r = 1; r <= kRows; ++r) {
        for (int c = 1; c <= kColumns; ++c) {
            const QRectF cell = cellRectF(c, r);
            if (!cell.intersects(area))
                continue;
            const Cell &cl = g.cell(c, r);
            if (!cl.used || (cl.code == ' ' && !cl.hex))
                continue;
            p.setPen(cl.ink == Ink::Sent ? kBlack : kRed);
            if (cl.hex) {
                const QString digits = Grid::hexText(cl.code);
                const QPointF first = cell.topLeft() + QPointF(0, y(kHexFirstDy));
                const QPointF second = cell.topLeft() + QPointF(x(kHexSecondDx), y(kHexSecondDy));
                p.save();
                p.setFont(m_hexFont);
                p.setClipRect(cell);
                p.drawText(QRectF(first, cell.size()), Qt::AlignLeft | Qt::AlignTop, digits.left(1));
                p.drawText(QRectF(second, cell.size()), Qt::AlignLeft | Qt::AlignTop, digits.mid(1, 1));
                p.restore();
            } else {
                p.drawText(textOrigin(c, r), QString(QChar::fromLatin1(static_cast<char>(cl.code))));
            }
        }
    }
}

int TerminalView::virtualKey(const QKeyEvent *event)
{
    const int key = event->key();
    if (key == Qt::Key_Alt)
        return kVkAlt;
    if (key == Qt::Key_F9)
        return kVkF9;
    if (key == Qt::Key_F10)
        return kVkF10;
    if (!(event->modifiers() & Qt::KeypadModifier))
        return -1;
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return kVkNumpad0 + (key - Qt::Key_0);
    switch (key) {
    case Qt::Key_Insert:
        return kVkInsert;
    case Qt::Key_End:
        return kVkEnd;
    case Qt::Key_Down:
        return kVkDown;
    case Qt::Key_PageDown:
        return kVkPageDown;
    case Qt::Key_Left:
        return kVkLeft;
    case Qt::Key_Clear:
        return kVkClear;
    case Qt::Key_Right:
        return kVkRight;
    case Qt::Key_Home:
        return kVkHome;
    case Qt::Key_Up:
        return kVkUp;
    case Qt::Key_PageUp:
        return kVkPageUp;
    default:
        return -1;
    }
}

// Tab is a character to send here, not a move to the next control; and no
// shortcut of the window takes a key from the controller, except F6, which
// sends nothing and leads back to the command menu.
bool TerminalView::event(QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent *>(event)->key() != Qt::Key_F6) {
        event->accept();
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(event);
        if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) {
            keyPressEvent(k);
            return true;
        }
    }
    return QWidget::event(event);
}

void TerminalView::keyPressEvent(QKeyEvent *event)
{
    const int vk = virtualKey(event);
    // A held Alt repeats its key-down; that must not empty the digits typed.
    if (vk == kVkAlt && event->isAutoRepeat()) {
        event->accept();
        return;
    }
    if (m_session.keyDown(vk)) {
        event->accept();
        return;
    }
    QString text = event->text();
    if (text.isEmpty() && (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab))
        text = QStringLiteral("\t");
    bool used = false;
    for (const QChar ch : text)
        used = m_session.character(ch.unicode()) || used;
    if (used)
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

void TerminalView::keyReleaseEvent(QKeyEvent *event)
{
    // Auto-repeat releases are not the user letting go.
    if (event->isAutoRepeat()) {
        event->accept();
        return;
    }
    if (m_session.keyUp(virtualKey(event)))
        event->accept();
    else
        QWidget::keyReleaseEvent(event);
}

} // namespace terminal
