#pragma once

#include "link/byteio.h"

#include <QTcpSocket>

namespace wire {

class QtTcpIo final : public TcpIo {
    Q_OBJECT
public:
    explicit QtTcpIo(QObject *parent = nullptr);
    void connectToHost(const QString &host, quint16 port) override;
    QString connectFailure() const override;
    bool isOpen() const override;
    qint64 bytesAvailable() const override;
    QByteArray read(qint64 max) override;
    bool write(const QByteArray &bytes) override;
    qint64 bytesToWrite() const override;
    void close() override;

private:
    QTcpSocket m_socket;
};

} // namespace wire
