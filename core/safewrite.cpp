#include "core/safewrite.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace core {

namespace {
constexpr mode_t kNewFileMode = 0666; // less the umask, as any new file

QString whatItIs(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("a device");
}

// Every byte, however many calls it takes; the errno of the failure.
int writeAll(int fd, QByteArrayView bytes)
{
    const char *at = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, at, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        at += n;
        left -= n;
    }
    return 0;
}
} // namespace

QString outputPathProblem(const QString &path)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || S_ISREG(st.st_mode))
        return {};
    return QStringLiteral("%1 is %2, not a file").arg(path, whatItIs(st.st_mode));
}

SafeFile::~SafeFile() { discard(); }

bool SafeFile::failed(int error)
{
    m_reason = qt_error_string(error);
    discard();
    return false;
}

bool SafeFile::open(const QString &path)
{
    discard();
    m_path = path;
    m_written = 0;
    m_reason.clear();
    m_target = QFile::encodeName(path);
    struct stat st = {};
    m_existed = ::stat(m_target.constData(), &st) == 0;
    if (m_existed && !S_ISREG(st.st_mode)) {
        m_reason = QStringLiteral("it is %1, not a file").arg(whatItIs(st.st_mode));
        return false;
    }
    if (m_existed)
        m_target = QFile::encodeName(QFileInfo(path).canonicalFilePath());
    for (int attempt = 0; m_fd < 0; ++attempt) {
        m_temporary = m_target + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        m_fd = ::open(m_temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
        if (m_fd < 0 && (errno != EEXIST || attempt > 8)) {
            m_temporary.clear();
            return failed(errno);
        }
    }
    // The new file keeps the old one's permissions.
    if (m_existed && ::fchmod(m_fd, st.st_mode & 07777) != 0)
        return failed(errno);
    return true;
}

bool SafeFile::write(QByteArrayView bytes)
{
    if (m_fd < 0)
        return false;
    if (const int error = writeAll(m_fd, bytes))
        return failed(error);
    m_written += bytes.size();
    return true;
}

bool SafeFile::sync()
{
    if (m_fd < 0)
        return false;
    // A write the disk refuses late shows up here, not in write().
    if (::fsync(m_fd) != 0)
        return failed(errno);
    return ::close(std::exchange(m_fd, -1)) == 0 || failed(errno);
}

bool SafeFile::finish(const QByteArray &target)
{
    if (!sync())
        return false;
    if (::rename(m_temporary.constData(), target.constData()) != 0)
        return failed(errno);
    m_temporary.clear();
    return true;
}

std::optional<QString> SafeFile::commitNew(const std::function<QString(int)> &name)
{
    constexpr int kNames = 10000;
    if (!sync())
        return std::nullopt;
    for (int n = 1; n <= kNames; ++n) {
        QString path = name(n);
        const QByteArray target = QFile::encodeName(path);
        int result = ::renameat2(AT_FDCWD, m_temporary.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE);
        // A file system without the flag: a hard link is made only where no name is.
        if (result != 0 && errno == EINVAL && ::link(m_temporary.constData(), target.constData()) == 0)
            result = ::unlink(m_temporary.constData());
        if (result == 0) {
            m_temporary.clear();
            return path;
        }
        if (errno != EEXIST) {
            failed(errno);
            return std::nullopt;
        }
    }
    failed(EEXIST);
    return std::nullopt;
}

bool SafeFile::commit() { return finish(m_target); }

bool SafeFile::commitAs(const QString &path)
{
    if (const QString problem = outputPathProblem(path); !problem.isEmpty()) {
        m_reason = problem;
        discard();
        return false;
    }
    return finish(QFile::encodeName(path));
}

void SafeFile::discard()
{
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
    if (!m_temporary.isEmpty())
        ::unlink(m_temporary.constData());
    m_temporary.clear();
}

std::optional<QString> writeWholeFile(const QString &path, QByteArrayView data)
{
    SafeFile file;
    if (file.open(path) && file.write(data) && file.commit())
        return std::nullopt;
    return file.error();
}

StreamFile::~StreamFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool StreamFile::open(const QString &path, bool append)
{
    m_path = path;
    if (const QString problem = outputPathProblem(path); !problem.isEmpty()) {
        m_error = problem;
        return false;
    }
    m_fd = ::open(QFile::encodeName(path).constData(),
                  O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | (append ? O_APPEND : O_TRUNC), kNewFileMode);
    if (m_fd < 0)
        m_error = path + QStringLiteral(": ") + qt_error_string(errno);
    return m_fd >= 0;
}

bool StreamFile::write(QByteArrayView bytes)
{
    if (m_fd < 0)
        return false;
    if (const int error = writeAll(m_fd, bytes)) {
        m_error = m_path + QStringLiteral(": ") + qt_error_string(error);
        ::close(std::exchange(m_fd, -1));
        return false;
    }
    return true;
}

} // namespace core
