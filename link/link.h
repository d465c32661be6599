#pragma once

#include "core/sinks.h"
#include "link/byteio.h"
#include "link/commsettings.h"
#include "link/endpoint.h"
#include "link/rfc2217io.h"
#include "link/waiter.h"

#include <QObject>

#include <functional>
#include <optional>
#include <vector>

namespace wire {

inline constexpr Ms kReplyTimeout{5000};
inline constexpr Ms kConnectPass{100};
inline constexpr int kConnectPasses = 30;
// A reply line longer than this is cut: the controller's lines are short, and
// a stream that never sends a carriage return must not eat the memory.
inline constexpr qsizetype kMaxReplyLine = qsizetype{64} * 1024;

inline const QString kConnected = QStringLiteral("Connected");
inline const QString kDisconnected = QStringLiteral("Disconnected");

// One reply line, or what arrived of it before the time-out.
struct ReplyLine {
    QByteArray text; // never holds the ending carriage return
    bool timedOut = false;
};

class LinkClaim;

// The one link to the controller, over one of its transports: a serial port,
// a TCP client or a device server's serial line (RFC 2217, a client of its
// own), which the selected link mode picks. The status caption is
// the record of whether the link is open. While an operation holds the link
// (LinkClaim) the transport stays the one selected when it began. Where the
// operations treat the transports apart, they ask traits(), never which
// transport it is.
class Link : public QObject {
    Q_OBJECT
public:
    Link(const CommSettings &comm, Waiter &waiter, core::MessageBox &messages, SerialIo &serial, TcpIo &tcp,
         QObject *parent = nullptr);

    const QString &statusCaption() const { return m_caption; }
    bool isConnected() const { return m_caption == kConnected; }
    // How the operations treat the transport in use now: the one pinned by
    // the running operation, else the selected one.
    const Traits &traits() const { return traitsOf(inUse().kind); }
    const CommSettings &selected() const { return m_comm; }
    // What the last connect opened, as it was then; later selections on the
    // communications screen do not change it.
    const std::optional<Endpoint> &opened() const { return m_opened; }
    // The rate the open line runs at, where the link set it (a device server's,
    // as the server acknowledged it).
    std::optional<qint32> rateInForce() const { return m_rateInForce; }
    // Why the last connect left the link closed, in words for the
    // technician (device or peer, reason, what to do); empty after a success.
    const QString &openFailure() const { return m_openFailure; }
    // True while an operation holds the link.
    bool busy() const { return m_pinned.has_value(); }
    // The terminal's status text on entry: what the selection names for the
    // transport in use (the comm port, or the address and port as typed).
    QString terminalCaption() const { return inUse().caption(m_comm); }

    // Opens the endpoint the selection names.
    void ConnectLink();
    // Opens endpoint on its transport, as ConnectLink does.
    void connectTo(const Endpoint &endpoint);
    // Ends a TCP connect under way at once, as if it had timed out.
    void cancelConnect() { m_connectCancelled = true; }
    void DisconnectLink();
    void ApplySerialSettings();
    // Each returns false when the bytes could not be sent (link closed).
    bool SendCommand(const QByteArray &text);
    bool SendWakeup();
    ReplyLine ReadReplyLine();

    // Raw bytes on the transport in use, for the terminal, the downloads and
    // the loopback test.
    ByteIo &io() { return *inUse().io; }
    qint64 bytesAvailable() { return io().bytesAvailable(); }
    QByteArray read(qint64 max) { return io().read(max); }
    bool write(const QByteArray &bytes) { return io().write(bytes); }
    // Waits until at least n bytes are waiting; false at the deadline, when
    // quitting, or when the link has been lost.
    bool waitForBytes(qint64 n, Ms deadline);

    Waiter &waiter() { return m_waiter; }

    // Program end: release whatever is open.
    void closeAll();

    // The settings string the next serial open uses (for display and tests).
    QString serialSettings() const { return serialSettingsString(m_baud); }

Q_SIGNALS:
    void statusCaptionChanged(const QString &caption);
    // A TCP connect starts waiting for the peer ("HOST:PORT"); it ends with
    // ConnectLink.
    void connecting(const QString &peer);

private:
    friend class LinkClaim;

    // One transport: its byte stream, how it opens an endpoint of its kind
    // (traitsOf() says how the operations treat it), and the terminal's
    // caption for it.
    struct Transport {
        LinkKind kind;
        ByteIo *io;
        std::function<bool(const Endpoint &)> open;
        QString (*caption)(const CommSettings &);
    };
    const Transport &transport(LinkKind kind) const;
    const Transport &inUse() const { return transport(m_pinned.value_or(m_comm.mode)); }

    void setCaption(const QString &caption);
    void onLost(ByteIo &io);
    // Refuses while connected; else forgets the last attempt.
    bool startConnect();
    void open(const Endpoint &endpoint);
    // The endpoint the selection names; nothing, with the reason in
    // m_openFailure, when the address or port cannot name one.
    std::optional<Endpoint> selectedEndpoint();
    // Each opens endpoint on its stream, or leaves why in m_openFailure.
    bool openSerial(SerialIo &serial, const Endpoint &endpoint);
    bool openTcp(TcpIo &tcp, const Endpoint &endpoint);
    bool openDeviceServer(const Endpoint &endpoint);

    const CommSettings &m_comm;
    Waiter &m_waiter;
    core::MessageBox &m_messages;
    Rfc2217Io m_deviceServer;
    std::vector<Transport> m_transports;
    // The open link went away under us (not closed by the user): every reply
    // wait ends at once until the next connect.
    bool m_peerLost = false;
    bool m_connectCancelled = false;
    QString m_caption = kDisconnected;
    std::optional<Endpoint> m_opened;
    std::optional<qint32> m_rateInForce;
    QString m_openFailure;
    std::optional<LinkKind> m_pinned;
    int m_port = 1; // serial port properties, as last applied
    qint32 m_baud = Endpoint::kDefaultBaud;
    QString m_device;
};

// Claims the link for one operation and pins its transport until the claim
// ends; refuses (claimed() == false) while another operation holds it.
class LinkClaim {
public:
    explicit LinkClaim(Link &link) : m_link(link), m_claimed(!link.busy())
    {
        if (m_claimed)
            m_link.m_pinned = m_link.m_comm.mode;
    }
    ~LinkClaim()
    {
        if (m_claimed)
            m_link.m_pinned.reset();
    }
    LinkClaim(const LinkClaim &) = delete;
    LinkClaim &operator=(const LinkClaim &) = delete;
    bool claimed() const { return m_claimed; }

private:
    Link &m_link;
    bool m_claimed;
};

} // namespace wire
