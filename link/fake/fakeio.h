#pragma once

#include "link/byteio.h"
#include "link/fake/virtualwaiter.h"

#include <QByteArrayList>

#include <functional>
#include <optional>

namespace wire::fake {

// The controller end of a fake byte stream, scripted by a test on the virtual
// clock. Shared by the fake serial port and the fake TCP client.
class FakeStream {
public:
    explicit FakeStream(VirtualWaiter &clock) : m_clock(clock) {}

    // What the program wrote, one entry per write call.
    QByteArrayList writes;
    QByteArray written() const { return writes.join(); }

    // Bytes from the controller arrive after delay on the virtual clock.
    void deliver(const QByteArray &bytes, Ms delay = Ms{0});
    // Called with each write the program makes (a scripted controller).
    std::function<void(const QByteArray &)> onWrite;

    bool open = false;
    QByteArray inbox;
    std::function<void()> notifyReadyRead;

    // The program's side: takes waiting bytes; records a write (false while closed).
    QByteArray take(qint64 max);
    bool accept(const QByteArray &bytes);
    // Runs lost after delay if the stream is still open then.
    void dropAfter(Ms delay, std::function<void()> lost);

private:
    VirtualWaiter &m_clock;
};

class FakeSerialIo final : public SerialIo {
    Q_OBJECT
public:
    explicit FakeSerialIo(VirtualWaiter &clock, QObject *parent = nullptr);
    FakeStream stream;
    bool openSucceeds = true;
    QString openedDevice;
    qint32 openedBaud = 0;
    int openCount = 0;

    bool open(const QString &device, qint32 baud, QString *error) override;
    bool isOpen() const override { return stream.open; }
    qint64 bytesAvailable() const override;
    QByteArray read(qint64 max) override;
    bool write(const QByteArray &bytes) override;
    // The fake hands every write over at once.
    qint64 bytesToWrite() const override { return 0; }
    void close() override;
    // The device goes away after delay (a pulled adapter).
    void dropAfter(Ms delay);
};

class FakeTcpIo final : public TcpIo {
    Q_OBJECT
public:
    explicit FakeTcpIo(VirtualWaiter &clock, QObject *parent = nullptr);
    FakeStream stream;
    // How long the peer takes to accept; no value: it never answers.
    std::optional<Ms> acceptAfter = Ms{10};
    QString host;
    quint16 port = 0;

    void connectToHost(const QString &host, quint16 port) override;
    // A fake peer that does not accept simply never answers.
    QString connectFailure() const override { return {}; }
    bool isOpen() const override { return stream.open; }
    qint64 bytesAvailable() const override;
    QByteArray read(qint64 max) override;
    bool write(const QByteArray &bytes) override;
    // The fake hands every write over at once.
    qint64 bytesToWrite() const override { return 0; }
    void close() override;
    // The peer closes the connection after delay.
    void dropAfter(Ms delay);

private:
    VirtualWaiter &m_clock;
    quint64 m_attempt = 0;
};

} // namespace wire::fake
