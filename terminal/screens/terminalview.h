#pragma once

#include "terminal/grid.h"

#include <QPixmap>
#include <QWidget>

#include <array>
#include <functional>

class QKeyEvent;

namespace terminal {

class Session;

// `pop1`: paints the grid, white, in Courier New bold (Liberation Mono where
// Courier New is missing), 250 x 275 twips per cell; hands key events to the
// session as virtual key codes and characters.
class TerminalView : public QWidget {
    Q_OBJECT
public:
    TerminalView(Session &session, QWidget *parent = nullptr);

    // The virtual key code of a key event, or -1 for keys the terminal has no
    // rule for.
    static int virtualKey(const QKeyEvent *event);

    QRect cellRect(int column, int row) const;
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
    const QPixmap &glyph(const Cell &cell);
    int x(int twips) const;
    int y(int twips) const;

    Session &m_session;
    QRect m_dirty;
    bool m_flushQueued = false;
    quint64 m_paints = 0;
    // Rendered cells by code, colour and form; 1024 at most.
    std::array<QPixmap, 1024> m_glyphs;
    QFont m_charFont;
    QFont m_hexFont;
};

} // namespace terminal
