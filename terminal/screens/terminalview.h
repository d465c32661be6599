#pragma once

#include "terminal/grid.h"

#include <QWidget>

#include <functional>

class QKeyEvent;

namespace terminal {

class Session;

// `pop1`: paints the grid, white, in its font, Courier New bold (Liberation
// Mono where Courier New is missing), 250 x 275 twips per cell; hands key events to the
// session as virtual key codes and characters.
class TerminalView : public QWidget {
    Q_OBJECT
public:
    TerminalView(Session &session, QWidget *parent = nullptr);

    // The virtual key code of a key event, or -1 for keys the terminal has no
    // rule for.
    static int virtualKey(const QKeyEvent *event);

    QRectF cellRectF(int column, int row) const;
    // The pixels a cell covers, whole or in part.
    QRect cellRect(int column, int row) const;
    // Where a character drawn as itself has its baseline in that cell.
    QPointF textOrigin(int column, int row) const;
    QSize sizeHint() const override;
    // Paints that happened (benchmarks and tests look at it).
    quint64 paintCount() const { return m_paints; }

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    void markDirty(const QRect &rect);
    qreal x(int twips) const;
    qreal y(int twips) const;

    Session &m_session;
    QRect m_dirty;
    bool m_flushQueued = false;
    quint64 m_paints = 0;
    QFont m_hexFont;
    QPointF m_textOrigin; // in a cell, from its top left
};

} // namespace terminal
