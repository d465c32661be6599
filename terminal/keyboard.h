#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace terminal {

// Virtual key codes as the terminal has always known them (the view maps its
// toolkit's key events onto these).
inline constexpr int kVkClear = 12;
inline constexpr int kVkAlt = 18;
inline constexpr int kVkPageUp = 33;
inline constexpr int kVkPageDown = 34;
inline constexpr int kVkEnd = 35;
inline constexpr int kVkHome = 36;
inline constexpr int kVkLeft = 37;
inline constexpr int kVkUp = 38;
inline constexpr int kVkRight = 39;
inline constexpr int kVkDown = 40;
inline constexpr int kVkInsert = 45;
inline constexpr int kVkNumpad0 = 96; // to 105 for keypad 9
inline constexpr int kVkF9 = 120;
inline constexpr int kVkF10 = 121;

// The digit a keypad key adds to an Alt code, with Num Lock on or off.
std::optional<char> keypadDigit(int vk);

// The byte an Alt code stands for: the digits as a decimal number (empty is
// 0, leading zeros allowed); no value for 256 and more however long the text.
// Takes any text, so it is safe on whatever arrives.
std::optional<quint8> altCodeValue(const QString &digits);

// What a key event asks the terminal to do: one byte to draw in black and
// send, and whether the key is used up.
struct KeyAction {
    bool consumed = false;
    std::optional<quint8> byte;
    bool operator==(const KeyAction &) const = default;
};

// The keyboard rules: F10 sends NUL, F9 sends 128, Alt with keypad digits
// sends the code on the release of Alt, and the character the system makes
// for that same Alt code is swallowed. Pure logic; the guard against typing
// over TCP before the terminal was entered over TCP is the caller's.
class Keyboard {
public:
    KeyAction keyDown(int vk);
    KeyAction character(int code);
    KeyAction keyUp(int vk);

    bool altHeld() const { return m_altHeld; }
    const QString &altDigits() const { return m_altDigits; }
    bool swallowNext() const { return m_swallowNext; }

private:
    bool m_altHeld = false;
    QString m_altDigits;
    bool m_swallowNext = false;
};

} // namespace terminal
