#include "core/inputfile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace core {

namespace {
constexpr qsizetype kChunk = qsizetype{64} * 1024;

// What a path is that is neither a regular file nor a pipe.
QString notAFile(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("it is a folder, not a file");
    if (S_ISSOCK(mode))
        return QStringLiteral("it is a socket, not a file");
    return QStringLiteral("it is a device, not a file");
}

QString tooLarge(const InputKind &kind)
{
    return QStringLiteral("it is larger than %1 %2, the limit for %3")
        .arg(kind.maxBytes % kMiB == 0 ? kind.maxBytes / kMiB : kind.maxBytes)
        .arg(kind.maxBytes % kMiB == 0 ? QStringLiteral("MiB") : QStringLiteral("bytes"))
        .arg(QLatin1String(kind.what));
}

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};
} // namespace

qsizetype countLines(const QByteArray &data)
{
    qsizetype lines = 0;
    const qsizetype n = data.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = data.at(i);
        if (c == '\n' || (c == '\r' && (i + 1 == n || data.at(i + 1) != '\n')))
            ++lines;
    }
    const char last = n > 0 ? data.at(n - 1) : '\n';
    return lines + (last != '\n' && last != '\r' ? 1 : 0);
}

std::optional<QByteArray> readInputFile(const QString &path, const InputKind &kind, QString *error,
                                        const ReadWait &wait)
{
    auto fail = [error](const QString &why) -> std::optional<QByteArray> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const QByteArray name = QFile::encodeName(path);
    struct stat st = {};
    if (::stat(name.constData(), &st) != 0)
        return fail(qt_error_string(errno));
    const bool pipe = S_ISFIFO(st.st_mode);
    if (!S_ISREG(st.st_mode) && !pipe)
        return fail(notAFile(st.st_mode));
    if (pipe && kind.regularOnly)
        return fail(QStringLiteral("it is a pipe, not a regular file, which %1 must be").arg(QLatin1String(kind.what)));
    if (pipe && !wait)
        return fail(QStringLiteral("it is a pipe, which cannot be read here"));
    if (st.st_size > kind.maxBytes)
        return fail(tooLarge(kind));
    // Not blocking: a FIFO opens at once, and the wait below is one an
    // interrupt ends.
    const Descriptor file(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.fd() < 0)
        return fail(qt_error_string(errno));
    struct stat opened = {};
    if (::fstat(file.fd(), &opened) != 0)
        return fail(qt_error_string(errno));
    if ((opened.st_mode & S_IFMT) != (st.st_mode & S_IFMT))
        return fail(QStringLiteral("it changed while it was opened"));
    QByteArray data;
    for (;;) {
        // A FIFO reads as ended until a writer comes: wait for one first.
        if (pipe && !wait(file.fd()))
            return fail(QStringLiteral("interrupted"));
        const qsizetype at = data.size();
        data.resize(at + kChunk);
        const ssize_t n = ::read(file.fd(), data.data() + at, static_cast<size_t>(kChunk));
        data.resize(at + std::max<qsizetype>(n, 0));
        if (n == 0)
            break;
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            return fail(qt_error_string(errno));
        if (data.size() > kind.maxBytes)
            return fail(tooLarge(kind));
    }
    if (kind.maxLines > 0 && countLines(data) > kind.maxLines)
        return fail(QStringLiteral("it has more than %1 lines, the limit for %2")
                        .arg(kind.maxLines)
                        .arg(QLatin1String(kind.what)));
    return data;
}

} // namespace core
