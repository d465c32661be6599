#pragma once

#include <QByteArrayView>
#include <QString>

#include <functional>
#include <optional>

namespace core {

// Why path cannot be written as a file, or empty: it exists and is not a
// regular file (a folder, a device such as /dev/null, a FIFO, a socket).
// A symbolic link to a regular file is written through.
QString outputPathProblem(const QString &path);

// A file written whole. The bytes go to a temporary file beside it, every
// write checked; commit() syncs that to the disk, checks it, and only then
// renames it over the file. On any error, or without a commit, the old file
// stays as it was and the temporary goes.
class SafeFile {
public:
    SafeFile() = default;
    ~SafeFile();
    SafeFile(const SafeFile &) = delete;
    SafeFile &operator=(const SafeFile &) = delete;

    bool open(const QString &path);
    bool write(QByteArrayView bytes);
    // Replaces the file with what was written.
    bool commit();
    // Keeps what was written under another name beside it instead, and
    // leaves the file itself as it was.
    bool commitAs(const QString &path);
    // Puts what was written in place under the first name(1), name(2), …
    // that no file has, never replacing one, even one another process made
    // a moment ago. The name it took, or nothing (reason() says why).
    std::optional<QString> commitNew(const std::function<QString(int)> &name);
    // Throws away what was written.
    void discard();

    const QString &path() const { return m_path; }
    bool existed() const { return m_existed; } // when it was opened
    qint64 written() const { return m_written; }
    // Why the last step failed ("No space left on device"), and with the
    // file's name before it.
    const QString &reason() const { return m_reason; }
    QString error() const { return m_path + QStringLiteral(": ") + m_reason; }

private:
    bool failed(int error);
    bool sync();
    bool finish(const QByteArray &target);

    QString m_path;
    QByteArray m_target; // the file itself, through a symbolic link
    QByteArray m_temporary;
    int m_fd = -1;
    bool m_existed = false;
    qint64 m_written = 0;
    QString m_reason;
};

// data into path, whole or not at all; the error ("path: reason") when not.
std::optional<QString> writeWholeFile(const QString &path, QByteArrayView data);

// A file written as it goes (a log): each write reaches the file at once and
// is checked. After the first error nothing more is written, and error()
// says which file and why.
class StreamFile {
public:
    StreamFile() = default;
    ~StreamFile();
    StreamFile(const StreamFile &) = delete;
    StreamFile &operator=(const StreamFile &) = delete;

    // A fresh file, or more at the end of the one there.
    bool open(const QString &path, bool append);
    bool write(QByteArrayView bytes);
    bool failed() const { return !m_error.isEmpty(); }
    const QString &error() const { return m_error; }

private:
    int m_fd = -1;
    QString m_path;
    QString m_error;
};

} // namespace core
