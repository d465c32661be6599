#pragma once

#include "link/byteio.h"
#include "link/lowlatency.h"

#include <QSerialPort>

namespace wire {

class QtSerialIo final : public SerialIo {
    Q_OBJECT
public:
    explicit QtSerialIo(QObject *parent = nullptr);
    bool open(const QString &device, qint32 baud, QString *error) override;
    bool isOpen() const override;
    qint64 bytesAvailable() const override;
    QByteArray read(qint64 max) override;
    bool write(const QByteArray &bytes) override;
    qint64 bytesToWrite() const override;
    void close() override;
    // What the driver answered to the low-latency request of the last open.
    LowLatency lowLatency() const { return m_lowLatency; }

private:
    QSerialPort m_port;
    bool m_lost = false;
    LowLatency m_lowLatency = LowLatency::NotAsked;
};

} // namespace wire
