#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace core {

// Control characters (below 0x20, and DEL) in text from a user or a file
// would change the command they become part of: a carriage return ends it
// and starts another, NUL ESC CR starts the boot code's break-in. Text is
// checked where it enters; the link sends what it is given.
bool isControlCharacter(char32_t c);

// The index of the first control character, or -1 when there is none.
qsizetype firstControlCharacter(QStringView text);
qsizetype firstControlCharacter(QByteArrayView text);

// The text without its control characters (what a screen's field keeps).
QString withoutControlCharacters(QString text);

// Each control character as \xHH, so that a line printed from a reply stays
// one line and moves the cursor no further than a tab does (the listings
// separate their columns with tabs, which pass). Bytes of UTF-8 text pass
// unchanged.
QByteArray escapeControlCharacters(const QByteArray &text);

} // namespace core
