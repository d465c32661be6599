#pragma once

#include <QString>
#include <QtGlobal>

#include <array>
#include <cstddef>
#include <functional>

namespace terminal {

inline constexpr int kColumns = 39;
inline constexpr int kRows = 22;

// Who produced a character: received ones are drawn red, sent ones black.
enum class Ink : quint8 { Received, Sent };

struct Cell {
    bool used = false;
    bool hex = false; // drawn as two hexadecimal digits
    quint8 code = 0;
    Ink ink = Ink::Received;
};

// The terminal's 39 x 22 cells. A raw display: control codes do not move the
// writing position, they take a cell of their own in hexadecimal. Knows no
// widgets; a view reads the cells back and listens through the callbacks.
class Grid {
public:
    // Codes drawn as themselves; every other code is a hexadecimal cell (the
    // tilde included).
    static bool drawnAsItself(quint8 code) { return code >= 32 && code <= 125; }
    // Two upper-case hexadecimal digits.
    static QString hexText(quint8 code);

    // Column and row of the next cell to write, both from 1. Column 40 and
    // row 23 are legal in between: checkline resolves them before drawing.
    int column() const { return m_column; }
    int row() const { return m_row; }
    void setPosition(int column, int row);

    // Wrap after the 39th cell; the 23rd row clears the display and starts
    // again at the top (nothing scrolls).
    void checkline();
    // Puts code into the cell at (charpos, linepos) in ink; does not advance.
    void printchar(quint8 code, int linepos, int charpos, bool makehex, Ink ink);
    // The whole sequence for one character: checkline, the form, printchar,
    // column + 1.
    void draw(quint8 code, Ink ink);
    void draw(const QByteArray &bytes, Ink ink);
    // Empties every cell; the position is left alone.
    void clear();

    const Cell &cell(int column, int row) const;
    // Characters drawn into the cells as text, one line per row, a blank for
    // an empty cell and "[0D]" for a hexadecimal cell (for tests and logs).
    QString rowText(int row) const;

    // A view's hooks: one cell changed, or everything was cleared.
    std::function<void(int column, int row)> onCellChanged;
    std::function<void()> onCleared;

private:
    std::array<Cell, std::size_t{kColumns} * kRows> m_cells{};
    int m_column = 1;
    int m_row = 1;
};

} // namespace terminal
