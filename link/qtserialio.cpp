#include "link/qtserialio.h"

#include "link/drain.h"

#include <poll.h>

namespace wire {

namespace {
// A hung-up or removed device says so on its descriptor; a full output
// buffer (EAGAIN, which Qt reports as a resource error) does not.
bool deviceGone(int handle)
{
    if (handle < 0)
        return true;
    pollfd p{handle, POLLIN | POLLOUT, 0};
    return ::poll(&p, 1, 0) < 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}
} // namespace

QtSerialIo::QtSerialIo(QObject *parent) : SerialIo(parent)
{
    m_port.setReadBufferSize(kReadBufferLimit);
    connect(&m_port, &QSerialPort::readyRead, this, &ByteIo::readyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        if (!m_port.isOpen() || m_lost || (e != QSerialPort::ResourceError && e != QSerialPort::ReadError))
            return;
        // A pulled USB adapter or a closed pseudo-terminal shows up as a
        // resource or read error on a hung-up descriptor. The same error
        // with the device still there is a full output buffer: the queued
        // bytes go out when the line takes them.
        if (!deviceGone(static_cast<int>(m_port.handle()))) {
            m_port.clearError();
            return;
        }
        // Reported once per open port: closing a dead port raises more errors.
        m_lost = true;
        Q_EMIT lost();
    });
}

bool QtSerialIo::open(const QString &device, qint32 baud, QString *error)
{
    if (m_port.isOpen())
        m_port.close();
    m_port.setPortName(device);
    m_lost = false;
    m_lowLatency = LowLatency::NotAsked;
    if (!m_port.open(QIODevice::ReadWrite)) {
        if (error)
            *error = m_port.errorString();
        return false;
    }
    const bool ok = m_port.setBaudRate(baud) && m_port.setDataBits(QSerialPort::Data8)
        && m_port.setParity(QSerialPort::NoParity) && m_port.setStopBits(QSerialPort::OneStop);
    if (!ok) {
        if (error)
            *error = m_port.errorString();
        m_port.close();
        return false;
    }
    m_lowLatency = requestLowLatency(static_cast<int>(m_port.handle()));
    return true;
}

bool QtSerialIo::isOpen() const { return m_port.isOpen(); }

qint64 QtSerialIo::bytesAvailable() const { return m_port.isOpen() ? m_port.bytesAvailable() : 0; }

QByteArray QtSerialIo::read(qint64 max) { return m_port.isOpen() ? m_port.read(max) : QByteArray(); }

bool QtSerialIo::write(const QByteArray &bytes)
{
    if (!m_port.isOpen() || m_lost)
        return false;
    if (m_port.write(bytes) != bytes.size())
        return false;
    // Hands over what the line takes now; the rest follows as it drains.
    m_port.flush();
    return true;
}

qint64 QtSerialIo::bytesToWrite() const { return m_port.isOpen() ? m_port.bytesToWrite() : 0; }

void QtSerialIo::close()
{
    if (!m_port.isOpen())
        return;
    if (!m_lost)
        drainQueuedWrites(m_port);
    m_port.close();
}

} // namespace wire
