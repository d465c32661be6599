#include "terminal/screens/terminalview.h"

#include "core/widgets/twips.h"
#include "terminal/keyboard.h"
#include "terminal/session.h"

#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>

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
    : QWidget(parent), m_session(session), m_charFont(cellFont(14)), m_hexFont(cellFont(10))
{
    setObjectName(QStringLiteral("pop1"));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    setFixedSize(sizeHint());
    Grid &g = m_session.grid();
    g.onCellChanged = [this](int c, int r) { markDirty(cellRect(c, r)); };
    g.onCleared = [this] { markDirty(rect()); };
}

int TerminalView::x(int twips) const { return core::twipsToPixelsX(this, twips); }
int TerminalView::y(int twips) const { return core::twipsToPixelsY(this, twips); }

QSize TerminalView::sizeHint() const { return {x(kColumns * kCellWidth), y(kRows * kCellHeight)}; }

QRect TerminalView::cellRect(int column, int row) const
{
    const int left = x((column - 1) * kCellWidth);
    const int top = y((row - 1) * kCellHeight);
    return QRect(QPoint(left, top), QPoint(x(column * kCellWidth) - 1, y(row * kCellHeight) - 1));
}

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

const QPixmap &TerminalView::glyph(const Cell &cell)
{
    QPixmap &pix = m_glyphs[static_cast<size_t>(cell.code) * 4 + (cell.ink == Ink::Sent ? 2 : 0) + (cell.hex ? 1 : 0)];
    if (!pix.isNull())
        return pix;
    const int w = x(kCellWidth) + 1;
    const int h = y(kCellHeight) + 1;
    pix = QPixmap(w, h);
    pix.fill(kWhite);
    QPainter p(&pix);
    p.setPen(cell.ink == Ink::Sent ? kBlack : kRed);
    const int big = 4 * h;
    if (cell.hex) {
        const QString digits = Grid::hexText(cell.code);
        p.setFont(m_hexFont);
        p.drawText(QRect(0, y(kHexFirstDy), big, big), Qt::AlignLeft | Qt::AlignTop, digits.left(1));
        p.drawText(QRect(x(kHexSecondDx), y(kHexSecondDy), big, big), Qt::AlignLeft | Qt::AlignTop, digits.mid(1, 1));
    } else {
        p.setFont(m_charFont);
        p.drawText(QRect(0, 0, big, big), Qt::AlignLeft | Qt::AlignTop, QString(QChar::fromLatin1(char(cell.code))));
    }
    return pix;
}

void TerminalView::paintEvent(QPaintEvent *event)
{
    ++m_paints;
    QPainter p(this);
    const QRect area = event->rect();
    p.fillRect(area, kWhite);
    const Grid &g = m_session.grid();
    for (int r = 1; r <= kRows; ++r) {
        for (int c = 1; c <= kColumns; ++c) {
            const QRect cr = cellRect(c, r);
            if (!cr.intersects(area))
                continue;
            const Cell &cell = g.cell(c, r);
            if (cell.used && !(cell.code == ' ' && !cell.hex))
                p.drawPixmap(cr.topLeft(), glyph(cell), QRect(0, 0, cr.width(), cr.height()));
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

// Tab is a character to send here, not a move to the next control.
bool TerminalView::event(QEvent *event)
{
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
