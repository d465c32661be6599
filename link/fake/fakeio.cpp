#include "link/fake/fakeio.h"

namespace wire::fake {

void FakeStream::deliver(const QByteArray &bytes, Ms delay)
{
    m_clock.after(delay, [this, bytes] {
        if (!open)
            return;
        inbox.append(bytes);
        if (notifyReadyRead)
            notifyReadyRead();
    });
}

QByteArray FakeStream::take(qint64 max)
{
    QByteArray out = inbox.left(max);
    inbox.remove(0, out.size());
    return out;
}

bool FakeStream::accept(const QByteArray &bytes)
{
    if (!open)
        return false;
    writes.append(bytes);
    if (onWrite)
        onWrite(bytes);
    return true;
}

void FakeStream::dropAfter(Ms delay, std::function<void()> lost)
{
    m_clock.after(delay, [this, lost = std::move(lost)] {
        if (open)
            lost();
    });
}

FakeSerialIo::FakeSerialIo(VirtualWaiter &clock, QObject *parent) : SerialIo(parent), stream(clock)
{
    stream.notifyReadyRead = [this] { Q_EMIT readyRead(); };
}

bool FakeSerialIo::open(const QString &device, qint32 baud, QString *error)
{
    ++openCount;
    openedDevice = device;
    openedBaud = baud;
    if (!openSucceeds) {
        if (error)
            *error = QStringLiteral("No such file or directory");
        return false;
    }
    stream.open = true;
    return true;
}

qint64 FakeSerialIo::bytesAvailable() const { return stream.open ? stream.inbox.size() : 0; }

QByteArray FakeSerialIo::read(qint64 max) { return stream.open ? stream.take(max) : QByteArray(); }

bool FakeSerialIo::write(const QByteArray &bytes) { return stream.accept(bytes); }

void FakeSerialIo::close()
{
    stream.open = false;
    stream.inbox.clear();
}

void FakeSerialIo::dropAfter(Ms delay)
{
    stream.dropAfter(delay, [this] { Q_EMIT lost(); });
}

FakeTcpIo::FakeTcpIo(VirtualWaiter &clock, QObject *parent) : TcpIo(parent), stream(clock), m_clock(clock)
{
    stream.notifyReadyRead = [this] { Q_EMIT readyRead(); };
}

void FakeTcpIo::connectToHost(const QString &h, quint16 p)
{
    close();
    host = h;
    port = p;
    const quint64 attempt = ++m_attempt;
    if (!acceptAfter)
        return;
    m_clock.after(*acceptAfter, [this, attempt] {
        if (attempt != m_attempt)
            return;
        stream.open = true;
        Q_EMIT connected();
    });
}

qint64 FakeTcpIo::bytesAvailable() const { return stream.inbox.size(); }

QByteArray FakeTcpIo::read(qint64 max) { return stream.take(max); }

bool FakeTcpIo::write(const QByteArray &bytes) { return stream.accept(bytes); }

void FakeTcpIo::close()
{
    ++m_attempt;
    stream.open = false;
    stream.inbox.clear();
}

void FakeTcpIo::dropAfter(Ms delay)
{
    stream.dropAfter(delay, [this] { Q_EMIT lost(); });
}

} // namespace wire::fake
