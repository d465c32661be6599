#include "core/digitwidth.h"

namespace core {

const DigitWidthTable &digitWidthData()
{
    static const DigitWidthTable table = {
        0,              // 0
        1,  1,  1,      // 1-3
        2,  2,  2,      // 4-6
        3,  3,  3,      // 7-9
        4,  4,  4,  4,  // 10-13
        5,  5,  5,      // 14-16
        6,  6,  6,      // 17-19
        7,  7,  7,  7,  // 20-23
        8,  8,  8,      // 24-26
        9,  9,  9,      // 27-29
        10, 10, 10, 10, // 30-33
        11, 11, 11,     // 34-36
        12, 12, 12,     // 37-39
        13, 13, 13, 13, // 40-43
        14, 14, 14,     // 44-46
        15, 15, 15,     // 47-49
        16, 16, 16, 16, // 50-53
        17, 17, 17,     // 54-56
        18, 18, 18,     // 57-59
        19, 19, 19, 19, // 60-63
        20,             // 64
        0,              // 65
    };
    return table;
}

std::optional<qint16> digitWidthFor(const DigitWidthTable &table, int bits)
{
    if (bits < 0 || bits >= static_cast<int>(table.size()))
        return std::nullopt;
    return table[static_cast<std::size_t>(bits)];
}

} // namespace core
