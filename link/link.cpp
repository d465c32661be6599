#include "link/link.h"

#include "core/numbers.h"
#include "link/openfailure.h"
#include "link/portmapping.h"

#include <QScopeGuard>

#include <algorithm>

namespace wire {

namespace {
constexpr char kCr = '\r';

// The terminal's status texts on entry. A device in the Device field is what
// is open, not the numbered port.
QString portCaption(const CommSettings &comm)
{
    if (const QString device = comm.deviceInUse(); !device.isEmpty())
        return QStringLiteral("Connected to ") + device;
    return QStringLiteral("Connected to comm port") + core::signReserving(comm.port);
}

QString addressCaption(const CommSettings &comm)
{
    return QStringLiteral("Connected to ") + comm.ipAddress.trimmed() + QStringLiteral(" Port ")
        + comm.tcpPort.trimmed();
}
} // namespace

Link::Link(const CommSettings &comm, Waiter &waiter, core::MessageBox &messages, SerialIo &serial, TcpIo &tcp,
           QObject *parent)
    : QObject(parent), m_comm(comm), m_waiter(waiter), m_messages(messages)
{
    // A new transport is one more entry: its stream, how it opens, and how
    // the terminal names what the selection names for it.
    m_transports = {
        {LinkKind::Serial, &serial, [this, &serial](const Endpoint &e) { return openSerial(serial, e); }, &portCaption},
        {LinkKind::Tcp, &tcp, [this, &tcp](const Endpoint &e) { return openTcp(tcp, e); }, &addressCaption},
        {LinkKind::Rfc2217, &m_deviceServer, [this](const Endpoint &e) { return openDeviceServer(e); },
         &addressCaption},
    };
    for (const Transport &t : m_transports)
        connect(t.io, &ByteIo::lost, this, [this, io = t.io] { onLost(*io); });
}

const Link::Transport &Link::transport(LinkKind kind) const
{
    const auto found =
        std::find_if(m_transports.begin(), m_transports.end(), [kind](const Transport &t) { return t.kind == kind; });
    Q_ASSERT(found != m_transports.end());
    return *found;
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
    if (std::none_of(m_transports.begin(), m_transports.end(), [](const Transport &t) { return t.io->isOpen(); })) {
        m_peerLost = true;
        m_opened.reset();
        m_rateInForce.reset();
        setCaption(kDisconnected);
    }
}

void Link::ApplySerialSettings()
{
    if (m_comm.port >= 1 && m_comm.port <= 5)
        m_port = m_comm.port;
    if (baudChoices().contains(m_comm.baud))
        m_baud = m_comm.baud;
    m_device = m_comm.device;
}

std::optional<Endpoint> Link::selectedEndpoint()
{
    if (m_comm.mode == LinkKind::Serial) {
        ApplySerialSettings();
        return Endpoint::serial(serialDeviceFor(m_port, m_device), m_baud);
    }
    bool numeric = false;
    const uint port = m_comm.tcpPort.trimmed().toUInt(&numeric);
    const QString host = m_comm.ipAddress.trimmed();
    if (host.isEmpty()) {
        m_openFailure = QStringLiteral("cannot connect: no IP address given");
        return std::nullopt;
    }
    if (!numeric || port == 0 || port > 65535) {
        m_openFailure = QStringLiteral("cannot connect: the port must be a number from 1 to 65535");
        return std::nullopt;
    }
    if (m_comm.mode == LinkKind::Rfc2217) {
        // A device server's line, like a serial port, runs at the selected rate.
        ApplySerialSettings();
        return Endpoint::rfc2217(host, static_cast<quint16>(port), m_baud);
    }
    return Endpoint::tcp(host, static_cast<quint16>(port));
}

bool Link::startConnect()
{
    if (isConnected()) {
        m_messages.message(QStringLiteral("Disconnect first before connecting"));
        return false;
    }
    m_peerLost = false;
    m_openFailure.clear();
    return true;
}

void Link::ConnectLink()
{
    if (!startConnect())
        return;
    if (const std::optional<Endpoint> endpoint = selectedEndpoint()) {
        open(*endpoint);
        return;
    }
    setCaption(kDisconnected);
    transport(m_comm.mode).io->close();
}

void Link::connectTo(const Endpoint &endpoint)
{
    if (startConnect())
        open(endpoint);
}

void Link::open(const Endpoint &endpoint)
{
    const Transport &t = transport(endpoint.kind());
    m_rateInForce.reset();
    if (!t.open(endpoint)) {
        setCaption(kDisconnected);
        return;
    }
    m_opened = endpoint;
    setCaption(kConnected);
}

bool Link::openSerial(SerialIo &serial, const Endpoint &endpoint)
{
    if (serial.isOpen())
        serial.close();
    QString error;
    if (serial.open(endpoint.device(), endpoint.baud(), &error)) {
        m_rateInForce = endpoint.baud();
        return true;
    }
    m_openFailure = describe(diagnoseSerialOpen(endpoint.device(), error));
    return false;
}

bool Link::openTcp(TcpIo &tcp, const Endpoint &endpoint)
{
    bool connected = false;
    const QMetaObject::Connection up = connect(&tcp, &TcpIo::connected, this, [&connected] { connected = true; });
    const auto detach = qScopeGuard([up] { disconnect(up); });
    tcp.connectToHost(endpoint.host(), endpoint.port());
    m_connectCancelled = false;
    Q_EMIT connecting(endpoint.hostPort());
    // The flag is tested after each of the first 29 passes of 100 ms; the
    // 30th pass gives up.
    if (m_waiter.waitFor([&] { return connected || m_connectCancelled; }, kConnectPass * (kConnectPasses - 1))
        && connected)
        return true;
    if (!m_waiter.quitting() && !m_connectCancelled)
        m_waiter.sleep(kConnectPass);
    const QString reason = m_connectCancelled ? QStringLiteral("cancelled") : tcp.connectFailure();
    // A peer that answered and would not serve is told in a sentence that
    // names it already.
    if (reason.startsWith(endpoint.hostPort() + QLatin1Char(' ')))
        m_openFailure = reason;
    else
        m_openFailure =
            QStringLiteral("cannot connect to %1: %2")
                .arg(endpoint.hostPort(), reason.isEmpty() ? QStringLiteral("no answer within 3 seconds") : reason);
    tcp.close();
    return false;
}

bool Link::openDeviceServer(const Endpoint &endpoint)
{
    // The line settings go with the opening, and not again until they change.
    m_deviceServer.setBaud(endpoint.baud());
    if (!openTcp(m_deviceServer, endpoint))
        return false;
    m_rateInForce = m_deviceServer.baud();
    return true;
}

void Link::DisconnectLink()
{
    if (!isConnected()) {
        m_messages.message(QStringLiteral("Already disconnected"));
        return;
    }
    m_peerLost = false;
    // Every transport: after a change of the mode while connected the open
    // one need not be the one selected now.
    closeAll();
}

void Link::closeAll()
{
    for (const Transport &t : m_transports)
        t.io->close();
    m_opened.reset();
    m_rateInForce.reset();
    setCaption(kDisconnected);
}

bool Link::SendCommand(const QByteArray &text)
{
    ByteIo &out = io();
    if (!out.isOpen())
        return false;
    if (traits().dropsStaleInput) {
        // Whatever is still waiting from earlier exchanges (a late reply
        // after a time-out, say) is thrown away; pick up what has reached
        // the port first.
        m_waiter.pump();
        out.discardInput();
    }
    if (!out.write(text + kCr))
        return false;
    if (traits().pumpsAfterSend)
        m_waiter.pump();
    return true;
}

bool Link::SendWakeup()
{
    ByteIo &out = io();
    const QByteArray cr(1, kCr);
    if (!(traits().wakeupInTwoWrites ? out.write(cr) && out.write(cr) : out.write(cr + cr)))
        return false;
    if (traits().pumpsAfterSend)
        m_waiter.pump();
    return true;
}

ReplyLine Link::ReadReplyLine()
{
    ReplyLine reply;
    QByteArray &text = reply.text;
    const Ms deadline = m_waiter.now() + kReplyTimeout;
    ByteIo &in = io();
    const bool timeoutFirst = traits().timeoutBeforeByte;
    // A link lost just before the wait (while the command went out, say)
    // counts as lost during it.
    const bool wasOpen = in.isOpen() || m_peerLost;
    auto timedOut = [&reply] {
        reply.timedOut = true;
        return reply;
    };
    int sincePump = 0;
    for (;;) {
        // The time-out covers the whole line, tested before taking a
        // character or after it, as the transport has it.
        if (timeoutFirst && m_waiter.now() >= deadline)
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
            if (!timeoutFirst && m_waiter.now() >= deadline)
                return timedOut();
            continue;
        }
        // A link that goes away mid-reply ends the wait at once.
        if (m_waiter.quitting() || (wasOpen && !in.isOpen()))
            return timedOut();
        if (!timeoutFirst && m_waiter.now() >= deadline)
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
