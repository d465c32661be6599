#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QString>

#include <chrono>
#include <optional>

namespace flash {

// Pure pieces of the download: nothing here touches the link or the clock.

inline constexpr qsizetype kTrailerSize = 44;
inline constexpr qsizetype kFillSize = 52;

// The six bytes that make the controller drop into its boot code.
inline const QByteArray kBreakIn = QByteArrayLiteral("\x00\x1b\x0d\x00\x1b\x0d");

// Exclusive OR of every byte; 0 for none.
quint8 checkByte(QByteArrayView data);

// Length byte, the data unchanged, check byte. data holds at most 255 bytes.
QByteArray frameBlock(QByteArrayView data);

// How an image splits into what goes in blocks and the raw trailer after
// them. payloadLength is L - trailerSize and may be zero or negative, which
// the download meets as an early end of the file.
struct ImageLayout {
    qint64 payloadLength = 0;
    int blockSize = 50;
    // Blocks sent before the last one; the last one carries the final payload
    // byte and is sent on its own (it may be full).
    qint64 fullBlocks = 0;
    qint64 lastBlockSize = 0;
    qint64 totalBlocks() const { return payloadLength > 0 ? fullBlocks + 1 : 0; }
};
ImageLayout layoutFor(qint64 imageLength, qsizetype trailerSize, int blockSize);

// The status text after an acknowledged full block: the fraction sent with
// two decimals, the two digits after the point. A fraction that rounds to
// 1.00 before the last block shows 99, not 00.
QString progressText(qint64 bytesSent, qint64 payloadLength);
// The two digits it shows, as a number.
qint64 progressHundredths(qint64 bytesSent, qint64 payloadLength);

// The date stamp sent after the trailer: "MMDDYYYY".
QByteArray dateStamp(const QDate &date);

// Collects the start reply across reads; it matches only when everything
// collected is exactly the expected text. Once it has gone wrong it stays
// wrong (the wait runs on to its time-out), and it never holds more than a
// few bytes however much arrives.
class StartReply {
public:
    explicit StartReply(QByteArray expected) : m_expected(std::move(expected)) {}
    // Adds what one read returned; true once the collected text matches.
    bool feed(QByteArrayView bytes);
    bool matched() const { return !m_spoiled && m_collected == m_expected; }

private:
    QByteArray m_expected;
    QByteArray m_collected;
    bool m_spoiled = false;
};

// Reads a whole image file: a regular file of at most 64 MiB (a firmware
// image is a few hundred KiB). On failure returns nothing and a sentence for
// the user in error (the file is gone, unreadable, not a file or too big).
std::optional<QByteArray> readImageFile(const QString &path, QString *error);

// "Time left 1:05" from the rate so far; empty until there is a rate.
QString timeLeftText(std::chrono::milliseconds elapsed, qint64 done, qint64 total);

} // namespace flash
