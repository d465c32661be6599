#include "flash/image.h"

#include "core/inputfile.h"

#include <cmath>

namespace flash {

quint8 checkByte(QByteArrayView data)
{
    quint8 x = 0;
    for (const char c : data)
        x ^= static_cast<quint8>(c);
    return x;
}

QByteArray frameBlock(QByteArrayView data)
{
    Q_ASSERT(data.size() <= 255);
    QByteArray frame;
    frame.reserve(data.size() + 2);
    frame.append(static_cast<char>(data.size()));
    frame.append(data);
    frame.append(static_cast<char>(checkByte(data)));
    return frame;
}

ImageLayout layoutFor(qint64 imageLength, qsizetype trailerSize, int blockSize)
{
    ImageLayout l;
    l.blockSize = blockSize;
    l.payloadLength = imageLength - trailerSize;
    if (l.payloadLength > 0) {
        l.fullBlocks = (l.payloadLength - 1) / blockSize;
        l.lastBlockSize = l.payloadLength - l.fullBlocks * blockSize;
    }
    return l;
}

qint64 progressHundredths(qint64 bytesSent, qint64 payloadLength)
{
    qint64 hundredths = 0;
    if (payloadLength > 0) {
        // Rounded half up, as "0.00" formatting rounds.
        hundredths = (bytesSent * 200 + payloadLength) / (2 * payloadLength);
    }
    return std::clamp<qint64>(hundredths, 0, 99);
}

QString progressText(qint64 bytesSent, qint64 payloadLength)
{
    return QStringLiteral("Downloading - %1 % complete")
        .arg(progressHundredths(bytesSent, payloadLength), 2, 10, QLatin1Char('0'));
}

QByteArray dateStamp(const QDate &date) { return date.toString(QStringLiteral("MMddyyyy")).toLatin1(); }

bool StartReply::feed(QByteArrayView bytes)
{
    if (m_spoiled)
        return false;
    if (m_collected.size() + bytes.size() > m_expected.size()) {
        m_spoiled = true;
        m_collected.clear();
        return false;
    }
    m_collected.append(bytes);
    if (!m_expected.startsWith(m_collected)) {
        m_spoiled = true;
        m_collected.clear();
        return false;
    }
    return matched();
}

std::optional<QByteArray> readImageFile(const QString &path, QString *error)
{
    QString why;
    std::optional<QByteArray> data = core::readInputFile(path, core::kImageFile, &why);
    if (!data && error)
        *error = QStringLiteral("Cannot read the image file %1: %2").arg(path, why);
    return data;
}

QString timeLeftText(std::chrono::milliseconds elapsed, qint64 done, qint64 total)
{
    if (done <= 0 || elapsed.count() <= 0 || total <= done)
        return done > 0 && total <= done ? QStringLiteral("Time left 0:00") : QString();
    const double msPerUnit = static_cast<double>(elapsed.count()) / static_cast<double>(done);
    // Whole seconds, halves upwards.
    const auto seconds = static_cast<qint64>(std::floor(msPerUnit * static_cast<double>(total - done) / 1000.0 + 0.5));
    const qint64 h = seconds / 3600;
    const qint64 m = (seconds / 60) % 60;
    const qint64 s = seconds % 60;
    if (h > 0)
        return QStringLiteral("Time left %1:%2:%3")
            .arg(h)
            .arg(m, 2, 10, QLatin1Char('0'))
            .arg(s, 2, 10, QLatin1Char('0'));
    return QStringLiteral("Time left %1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
}

} // namespace flash
