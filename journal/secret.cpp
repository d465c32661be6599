#include "journal/secret.h"

#include <QFile>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>

#include <array>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace journal {

namespace {
constexpr qsizetype kKeyWords = 8; // 256 bits

std::optional<QByteArray> readKey(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the journal's key %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QByteArray key = file.read(kKeyWords * 4 + 1);
    if (key.size() != kKeyWords * 4) {
        *error = QStringLiteral("the journal's key %1 is damaged").arg(path);
        return std::nullopt;
    }
    return key;
}

QString systemError(const QString &path)
{
    return QStringLiteral("cannot make the journal's key %1: %2")
        .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

std::optional<QByteArray> loadKey(const QString &path, QString *error)
{
    if (QFile::exists(path))
        return readKey(path, error);
    // Made whole under a name of its own, then linked into place: link()
    // never replaces a key another process made meanwhile.
    QByteArray temporary = QFile::encodeName(path) + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data()); // mode 0600
    if (fd < 0) {
        *error = systemError(path);
        return std::nullopt;
    }
    std::array<quint32, kKeyWords> words{};
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    const QByteArray key(reinterpret_cast<const char *>(words.data()), kKeyWords * 4);
    QFile out;
    const bool written = out.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)
        && out.write(key) == key.size() && out.flush() && ::fsync(fd) == 0;
    out.close();
    const bool linked =
        written && (::link(temporary.constData(), QFile::encodeName(path).constData()) == 0 || errno == EEXIST);
    if (!linked)
        *error = systemError(path);
    ::unlink(temporary.constData());
    return linked ? readKey(path, error) : std::nullopt;
}

QString keyedHash(const QByteArray &key, const QByteArray &data)
{
    return QString::fromLatin1(QMessageAuthenticationCode::hash(data, key, QCryptographicHash::Sha256).toHex());
}

} // namespace journal
