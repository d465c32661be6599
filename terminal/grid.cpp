#include "terminal/grid.h"

namespace terminal {

QString Grid::hexText(quint8 code) { return QStringLiteral("%1").arg(code, 2, 16, QLatin1Char('0')).toUpper(); }

void Grid::setPosition(int column, int row)
{
    m_column = column;
    m_row = row;
}

void Grid::checkline()
{
    if (m_column >= kColumns + 1) {
        ++m_row;
        m_column = 1;
    }
    if (m_row > kRows) {
        clear();
        m_row = 1;
        m_column = 1;
    }
}

void Grid::printchar(quint8 code, int linepos, int charpos, bool makehex, Ink ink)
{
    // Out-of-range positions can only come from a caller that skipped
    // checkline; drawing nowhere beats writing past the cells.
    if (charpos < 1 || charpos > kColumns || linepos < 1 || linepos > kRows)
        return;
    Cell &c = m_cells[static_cast<size_t>(linepos - 1) * kColumns + static_cast<size_t>(charpos - 1)];
    c = Cell{true, makehex, code, ink};
    if (onCellChanged)
        onCellChanged(charpos, linepos);
}

void Grid::draw(quint8 code, Ink ink)
{
    checkline();
    printchar(code, m_row, m_column, !drawnAsItself(code), ink);
    ++m_column;
}

void Grid::draw(const QByteArray &bytes, Ink ink)
{
    for (const char b : bytes)
        draw(static_cast<quint8>(b), ink);
}

void Grid::clear()
{
    m_cells.fill(Cell{});
    if (onCleared)
        onCleared();
}

const Cell &Grid::cell(int column, int row) const
{
    static const Cell kNone{};
    if (column < 1 || column > kColumns || row < 1 || row > kRows)
        return kNone;
    return m_cells[static_cast<size_t>(row - 1) * kColumns + static_cast<size_t>(column - 1)];
}

QString Grid::rowText(int row) const
{
    QString text;
    for (int c = 1; c <= kColumns; ++c) {
        const Cell &cl = cell(c, row);
        if (!cl.used)
            text += QLatin1Char(' ');
        else if (cl.hex)
            text += QLatin1Char('[') + hexText(cl.code) + QLatin1Char(']');
        else
            text += QChar::fromLatin1(static_cast<char>(cl.code));
    }
    return text;
}

} // namespace terminal
