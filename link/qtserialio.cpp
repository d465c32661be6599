#include "link/qtserialio.h"

namespace wire {

QtSerialIo::QtSerialIo(QObject *parent) : SerialIo(parent)
{
    m_port.setReadBufferSize(kReadBufferLimit);
    connect(&m_port, &QSerialPort::readyRead, this, &ByteIo::readyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        // A pulled USB adapter or a closed pseudo-terminal shows up as a
        // resource or read error on the open port.
        // Reported once per open port: closing a dead port raises more errors.
        if (m_port.isOpen() && !m_lost && (e == QSerialPort::ResourceError || e == QSerialPort::ReadError)) {
            m_lost = true;
            Q_EMIT lost();
        }
    });
}

bool QtSerialIo::open(const QString &device, qint32 baud, QString *error)
{
    if (m_port.isOpen())
        m_port.close();
    m_port.setPortName(device);
    m_lost = false;
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
    return true;
}

bool QtSerialIo::isOpen() const { return m_port.isOpen(); }

qint64 QtSerialIo::bytesAvailable() const { return m_port.isOpen() ? m_port.bytesAvailable() : 0; }

QByteArray QtSerialIo::read(qint64 max) { return m_port.isOpen() ? m_port.read(max) : QByteArray(); }

bool QtSerialIo::write(const QByteArray &bytes)
{
    if (!m_port.isOpen())
        return false;
    if (m_port.write(bytes) != bytes.size())
        return false;
    m_port.flush();
    return true;
}

void QtSerialIo::close()
{
    if (m_port.isOpen()) {
        m_port.clear();
        m_port.close();
    }
}

} // namespace wire
