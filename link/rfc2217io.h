#pragma once

#include "link/byteio.h"
#include "link/rfc2217codec.h"

#include <QTcpSocket>

namespace wire {

// A serial line behind a device server that speaks RFC 2217 (Telnet with
// serial-port control): the program sets the line's rate over the network.
// connected() comes only once the server has agreed to binary transfer and
// serial-port control and acknowledged the line as asked (the rate, 8 data
// bits, no parity, 1 stop bit); until then the stream is not open.
class Rfc2217Io final : public TcpIo {
    Q_OBJECT
public:
    explicit Rfc2217Io(QObject *parent = nullptr);
    ~Rfc2217Io() override;
    // The rate the next connect asks for (9600 until set). While connected,
    // asks the server for it at once, unless it is the rate asked last.
    void setBaud(qint32 baud);
    // The rate the server acknowledged last; 0 before its first answer.
    qint32 baud() const { return m_codec.baud(); }
    // A rate asked for while connected has not been acknowledged yet.
    bool settling() const { return m_codec.settling(); }
    // Throws away the data received and not read yet, and asks the server to
    // drop what it holds from the device: a late reply must not be taken for
    // the answer to the next command.
    void discardInput() override;

    void connectToHost(const QString &host, quint16 port) override;
    // A refused or unanswered connection in the socket's words; a server that
    // does not agree, in a sentence that starts with HOST:PORT.
    QString connectFailure() const override;
    bool isOpen() const override;
    qint64 bytesAvailable() const override;
    QByteArray read(qint64 max) override;
    bool write(const QByteArray &bytes) override;
    qint64 bytesToWrite() const override;
    void close() override;

private:
    void onConnected();
    void onReadyRead();
    void onDisconnected();
    void pull();
    void sendOutput();

    QTcpSocket m_socket;
    Rfc2217Codec m_codec;
    // Data taken from the socket and not read yet; bounded by kReadBufferLimit.
    QByteArray m_data;
    qint32 m_baud = 9600;
    QString m_host;
    quint16 m_port = 0;
    bool m_up = false;          // agreed and acknowledged: connected() has been emitted
    bool m_closedEarly = false; // the server hung up before that
};

} // namespace wire
