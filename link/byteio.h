#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace wire {

// Received bytes a transport holds that the program has not taken yet. Past
// this the bytes wait in the operating system, which holds the sender back,
// so a controller flooding the line costs the program no memory.
inline constexpr qint64 kReadBufferLimit = qint64{256} * 1024;

// A byte stream to the controller. Reads never block; waiting is the Waiter's.
class ByteIo : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual bool isOpen() const = 0;
    // Bytes received and waiting; 0 while closed.
    virtual qint64 bytesAvailable() const = 0;
    // Takes up to max waiting bytes.
    virtual QByteArray read(qint64 max) = 0;
    // Queues bytes for sending and starts them on their way; false when the
    // stream is closed or the write failed. A full output buffer is no
    // failure: the bytes wait in the queue until the line takes them.
    virtual bool write(const QByteArray &bytes) = 0;
    // Bytes queued by write() that have not been handed to the system yet.
    virtual qint64 bytesToWrite() const = 0;
    // Throws away what has been received and not read: input left from an
    // earlier exchange must not be taken for the answer to the next one.
    virtual void discardInput()
    {
        while (bytesAvailable() > 0)
            if (read(bytesAvailable()).isEmpty())
                break;
    }
    // Closes the stream. Bytes already written still go out first, unless the
    // peer has gone or the line stops taking them.
    virtual void close() = 0;

Q_SIGNALS:
    void readyRead();
    // The peer went away while the stream was open (TCP peer closed or reset,
    // serial device removed). The stream is still nominally open; the owner
    // closes it.
    void lost();
};

class SerialIo : public ByteIo {
    Q_OBJECT
public:
    using ByteIo::ByteIo;
    // Opens the device at baud, 8 data bits, no parity, 1 stop bit. On failure
    // returns false and leaves a reason in error.
    virtual bool open(const QString &device, qint32 baud, QString *error) = 0;
};

class TcpIo : public ByteIo {
    Q_OBJECT
public:
    using ByteIo::ByteIo;
    // Starts connecting from any free local port and returns at once;
    // connected() reports success.
    virtual void connectToHost(const QString &host, quint16 port) = 0;
    // Why the last connect has not succeeded, in a few words ("connection
    // refused"); empty while it has simply had no answer.
    virtual QString connectFailure() const = 0;

Q_SIGNALS:
    void connected();
};

} // namespace wire
