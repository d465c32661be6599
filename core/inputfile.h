#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace core {

// What a kind of input file may hold. A file past a limit is the wrong file
// (or a hostile one): it is refused before it fills the memory.
struct InputKind {
    const char *what;       // "an inventory", for messages
    qint64 maxBytes;        // more is refused
    qsizetype maxLines = 0; // more is refused; 0: no limit of its own
    // A download needs the image's length before its first byte, which only
    // a regular file can tell; other inputs may come through a pipe.
    bool regularOnly = false;
};

inline constexpr qint64 kMiB = qint64{1024} * 1024;
inline constexpr InputKind kInventoryFile{"an inventory", 16 * kMiB, 100'000};
inline constexpr InputKind kProfileFile{"a profile", kMiB};
// The controllers' memory figures have five digits: 200,000 lines is room to spare.
inline constexpr InputKind kAccessListFile{"an access list", 8 * kMiB, 200'000};
inline constexpr InputKind kScheduleFile{"a schedules file", kMiB};
inline constexpr InputKind kImageFile{"an image", 64 * kMiB, 0, true};

// Waits until fd has something to read or its writer has gone; false when
// the wait was given up (the program is quitting). A pipe or FIFO has no
// end until its writer closes it: the wait must be one an interrupt can end.
using ReadWait = std::function<bool(int fd)>;

// The whole of an input file within its kind's limits. A folder, a device or
// a socket is refused before it is opened; a pipe or FIFO is read through
// wait (refused without one). On failure nothing, and the reason (without
// the path) in error.
std::optional<QByteArray> readInputFile(const QString &path, const InputKind &kind, QString *error,
                                        const ReadWait &wait = {});

// The lines of data as the text files count them: a line ends at CR, LF or
// CR LF, and a last line needs no end.
qsizetype countLines(const QByteArray &data);

} // namespace core
