#include "core/controltext.h"

#include <algorithm>

namespace core {

bool isControlCharacter(char32_t c) { return c < 0x20 || c == 0x7f; }

qsizetype firstControlCharacter(QStringView text)
{
    const auto *at = std::find_if(text.begin(), text.end(), [](QChar c) { return isControlCharacter(c.unicode()); });
    return at == text.end() ? -1 : at - text.begin();
}

qsizetype firstControlCharacter(QByteArrayView text)
{
    const auto *at = std::find_if(text.begin(), text.end(),
                                  [](char c) { return isControlCharacter(static_cast<unsigned char>(c)); });
    return at == text.end() ? -1 : at - text.begin();
}

QString withoutControlCharacters(QString text)
{
    text.removeIf([](QChar c) { return isControlCharacter(c.unicode()); });
    return text;
}

QByteArray escapeControlCharacters(const QByteArray &text)
{
    const auto escaped = [](unsigned char byte) { return isControlCharacter(byte) && byte != '\t'; };
    if (std::none_of(text.begin(), text.end(), [&](char c) { return escaped(static_cast<unsigned char>(c)); }))
        return text;
    QByteArray out;
    out.reserve(text.size() + 8);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (escaped(byte))
            out += "\\x" + QByteArray::number(byte, 16).rightJustified(2, '0');
        else
            out += c;
    }
    return out;
}

} // namespace core
