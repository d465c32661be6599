#include "link/link.h"

#include "link/openfailure.h"
#include "link/portmapping.h"

namespace wire {

namespace {
constexpr char kCr = '\r';
}

Link::Link(const CommSettings &comm, Waiter &waiter, core::MessageBox &messages, SerialIo &serial, TcpIo &tcp,
           QObject *parent)
    : QObject(parent), m_comm(comm), m_waiter(waiter), m_messages(messages), m_serial(serial), m_tcp(tcp)
{
    connect(&m_tcp, &TcpIo::connected, this, [this] { m_tcpConnected = true; });
    connect(&m_serial, &ByteIo::lost, this, [this] { onLost(m_serial); });
    connect(&m_tcp, &ByteIo::lost, this, [this] { onLost(m_tcp); });
}

void Link::setCaption(const QString &caption)
{
    if (m_caption == caption)
        return;
    m_caption = caption;
    Q_EMIT statusCaptionChanged(m_caption);
}

// The peer went away: close our end at once so that nothing waits on a dead
// link, and say so in the status caption.
void Link::onLost(ByteIo &lostIo)
{
    lostIo.close();
    if (!m_serial.isOpen() && !m_tcp.isOpen()) {
        m_peerLost = true;
        m_opened.reset();
        setCaption(kDisconnected);
    }
}

ByteIo &Link::io()
{
    if (isTcp())
        return m_tcp;
    return m_serial;
}

QString Link::serialDevice() const { return serialDeviceFor(m_port, m_device); }

void Link::ApplySerialSettings()
{
    if (m_comm.port >= 1 && m_comm.port <= 5)
        m_port = m_comm.port;
    if (baudChoices().contains(m_comm.baud))
        m_baud = m_comm.baud;
    m_device = m_comm.device;
}

void Link::ConnectLink()
{
    if (isConnected()) {
        m_messages.message(QStringLiteral("Disconnect first before connecting"));
        return;
    }
    m_peerLost = false;
    m_openFailure.clear();
    if (isTcp())
        connectTcp();
    else
        connectSerial();
}

void Link::connectSerial()
{
    if (m_serial.isOpen())
        m_serial.close();
    ApplySerialSettings();
    QString error;
    if (!m_serial.open(serialDevice(), m_baud, &error)) {
        m_openFailure = describe(diagnoseSerialOpen(serialDevice(), error));
        setCaption(kDisconnected);
        return;
    }
    m_opened = OpenedLink{CommSettings::Mode::Serial, serialDevice(), m_baud, {}, 0};
    setCaption(kConnected);
}

void Link::connectTcp()
{
    m_tcpConnected = false;
    bool numeric = false;
    const QString portText = m_comm.tcpPort.trimmed();
    const uint port = portText.toUInt(&numeric);
    const QString host = m_comm.ipAddress.trimmed();
    if (!numeric || port == 0 || port > 65535 || host.isEmpty()) {
        m_openFailure = host.isEmpty() ? QStringLiteral("cannot connect: no IP address given")
                                       : QStringLiteral("cannot connect: the port must be a number from 1 to 65535");
        setCaption(kDisconnected);
        m_tcp.close();
        return;
    }
    m_tcp.connectToHost(host, static_cast<quint16>(port));
    m_connectCancelled = false;
    Q_EMIT connecting(QStringLiteral("%1:%2").arg(host).arg(port));
    // The flag is tested after each of the first 29 passes of 100 ms; the
    // 30th pass gives up.
    const bool up =
        m_waiter.waitFor([this] { return m_tcpConnected || m_connectCancelled; }, kConnectPass * (kConnectPasses - 1))
        && m_tcpConnected;
    if (!up) {
        if (!m_waiter.quitting() && !m_connectCancelled)
            m_waiter.sleep(kConnectPass);
        const QString reason = m_connectCancelled ? QStringLiteral("cancelled") : m_tcp.connectFailure();
        m_openFailure = QStringLiteral("cannot connect to %1:%2: %3")
                            .arg(host)
                            .arg(port)
                            .arg(reason.isEmpty() ? QStringLiteral("no answer within 3 seconds") : reason);
        setCaption(kDisconnected);
        m_tcp.close();
        return;
    }
    m_opened = OpenedLink{CommSettings::Mode::Tcp, {}, 0, host, static_cast<quint16>(port)};
    setCaption(kConnected);
}

void Link::DisconnectLink()
{
    if (!isConnected()) {
        m_messages.message(QStringLiteral("Already disconnected"));
        return;
    }
    m_peerLost = false;
    // Both transports: after a change of the mode while connected the open
    // one need not be the one selected now.
    closeAll();
}

void Link::closeAll()
{
    m_serial.close();
    m_tcp.close();
    m_opened.reset();
    setCaption(kDisconnected);
}

bool Link::SendCommand(const QByteArray &text)
{
    const QByteArray line = text + kCr;
    if (isTcp()) {
        if (!m_tcp.write(line))
            return false;
        m_waiter.pump();
        return true;
    }
    if (!m_serial.isOpen())
        return false;
    // Whatever is still waiting from earlier exchanges (a late reply after a
    // time-out, say) is thrown away; pick up what has reached the port first.
    m_waiter.pump();
    while (m_serial.bytesAvailable() > 0)
        m_serial.read(m_serial.bytesAvailable());
    return m_serial.write(line);
}

bool Link::SendWakeup()
{
    const QByteArray cr(1, kCr);
    if (isTcp()) {
        if (!m_tcp.write(cr + cr))
            return false;
        m_waiter.pump();
        return true;
    }
    return m_serial.write(cr) && m_serial.write(cr);
}

ReplyLine Link::ReadReplyLine()
{
    ReplyLine reply;
    QByteArray &text = reply.text;
    const Ms deadline = m_waiter.now() + kReplyTimeout;
    ByteIo &in = io();
    const bool tcp = isTcp();
    // A link lost just before the wait (while the command went out, say)
    // counts as lost during it.
    const bool wasOpen = in.isOpen() || m_peerLost;
    auto timedOut = [&reply] {
        reply.timedOut = true;
        return reply;
    };
    int sincePump = 0;
    for (;;) {
        // The time-out covers the whole line. Serial tests it before taking a
        // character, TCP after.
        if (!tcp && m_waiter.now() >= deadline)
            return timedOut();
        if (in.bytesAvailable() > 0) {
            // A long burst must not freeze the window: handle events now and then.
            if (++sincePump == 4096) {
                sincePump = 0;
                m_waiter.pump();
            }
            const QByteArray one = in.read(1);
            if (one.isEmpty())
                continue;
            if (one.at(0) == kCr)
                return reply;
            if (text.size() < kMaxReplyLine)
                text.append(one);
            if (tcp && m_waiter.now() >= deadline)
                return timedOut();
            continue;
        }
        // A link that goes away mid-reply ends the wait at once.
        if (m_waiter.quitting() || (wasOpen && !in.isOpen()))
            return timedOut();
        if (tcp && m_waiter.now() >= deadline)
            return timedOut();
        m_waiter.waitUntil([&] { return in.bytesAvailable() > 0 || (wasOpen && !in.isOpen()); }, deadline);
    }
}

bool Link::waitForBytes(qint64 n, Ms deadline)
{
    ByteIo &in = io();
    return m_waiter.waitUntil([&] { return in.bytesAvailable() >= n || !in.isOpen(); }, deadline)
        && in.bytesAvailable() >= n;
}

} // namespace wire
