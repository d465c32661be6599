#include "terminal/keyboard.h"

namespace terminal {

namespace {
// A held keypad key repeats; past this many significant digits the value is
// 256 or more whatever follows, so more need not be kept.
constexpr qsizetype kMaxAltDigits = 64;
} // namespace

std::optional<char> keypadDigit(int vk)
{
    if (vk >= kVkNumpad0 && vk <= kVkNumpad0 + 9)
        return static_cast<char>('0' + (vk - kVkNumpad0));
    switch (vk) {
    case kVkInsert:
        return '0';
    case kVkEnd:
        return '1';
    case kVkDown:
        return '2';
    case kVkPageDown:
        return '3';
    case kVkLeft:
        return '4';
    case kVkClear:
        return '5';
    case kVkRight:
        return '6';
    case kVkHome:
        return '7';
    case kVkUp:
        return '8';
    case kVkPageUp:
        return '9';
    default:
        return std::nullopt;
    }
}

std::optional<quint8> altCodeValue(const QString &digits)
{
    int value = 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
        if (value > 255)
            return std::nullopt;
    }
    return static_cast<quint8>(value);
}

KeyAction Keyboard::keyDown(int vk)
{
    if (vk == kVkAlt) {
        m_altHeld = true;
        m_altDigits.clear();
        return {true, std::nullopt};
    }
    if (m_altHeld) {
        if (const auto d = keypadDigit(vk)) {
            // Leading zeros add nothing to the value: shed them before
            // giving up on a long entry, so 0...065 still means 65.
            if (m_altDigits.size() >= kMaxAltDigits) {
                qsizetype zeros = 0;
                while (zeros < m_altDigits.size() && m_altDigits.at(zeros) == QLatin1Char('0'))
                    ++zeros;
                m_altDigits.remove(0, zeros);
            }
            if (m_altDigits.size() < kMaxAltDigits)
                m_altDigits += QLatin1Char(*d);
            else
                m_altDigits = QStringLiteral("999"); // stays 256 or more
        }
        return {true, std::nullopt};
    }
    if (vk == kVkF10)
        return {true, quint8{0}};
    if (vk == kVkF9)
        return {true, quint8{128}};
    return {};
}

KeyAction Keyboard::character(int code)
{
    if (m_swallowNext) {
        m_swallowNext = false;
        return {true, std::nullopt};
    }
    // One byte per key: a character outside 0..255 has no byte to send.
    if (code < 0 || code > 255)
        return {};
    return {true, static_cast<quint8>(code)};
}

KeyAction Keyboard::keyUp(int vk)
{
    if (vk != kVkAlt)
        return {};
    m_altHeld = false;
    const auto value = altCodeValue(m_altDigits);
    if (!value)
        return {true, std::nullopt};
    m_swallowNext = true;
    return {true, value};
}

} // namespace terminal
