#pragma once

#include <QtGlobal>

#include <array>
#include <optional>

namespace core {

// Entry n (0..64): number of decimal digits of 2^n - 1. Entry 65 exists and is 0.
using DigitWidthTable = std::array<qint16, 66>;

// The table as the controller firmware documentation gives it (stored data,
// not computed on use).
const DigitWidthTable &digitWidthData();

// Looks a bit count up; no value outside 0..65.
std::optional<qint16> digitWidthFor(const DigitWidthTable &table, int bits);

} // namespace core
