#pragma once

#include "core/sinks.h"
#include "link/byteio.h"
#include "link/commsettings.h"
#include "link/waiter.h"

#include <QObject>

#include <optional>

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

// What ConnectLink opened, as it was at that moment; later selections on the
// communications screen do not change it.
struct OpenedLink {
    CommSettings::Mode transport = CommSettings::Mode::Serial;
    QString device; // serial
    qint32 baud = 0;
    QString host; // TCP
    quint16 port = 0;
};

class LinkClaim;

// The one link to the controller: a serial port and a TCP client, either of
// which the selected link mode picks. The status caption is the record of
// whether the link is open. While an operation holds the link (LinkClaim) the
// transport stays the one selected when it began.
class Link : public QObject {
    Q_OBJECT
public:
    Link(const CommSettings &comm, Waiter &waiter, core::MessageBox &messages, SerialIo &serial, TcpIo &tcp,
         QObject *parent = nullptr);

    const QString &statusCaption() const { return m_caption; }
    bool isConnected() const { return m_caption == kConnected; }
    // The transport the link operations use now: the one pinned by the running
    // operation, else the selected one.
    CommSettings::Mode transport() const { return m_pinned.value_or(m_comm.mode); }
    bool isTcp() const { return transport() == CommSettings::Mode::Tcp; }
    const CommSettings &selected() const { return m_comm; }
    const std::optional<OpenedLink> &opened() const { return m_opened; }
    // Why the last ConnectLink left the link closed, in words for the
    // technician (device or peer, reason, what to do); empty after a success.
    const QString &openFailure() const { return m_openFailure; }
    // True while an operation holds the link.
    bool busy() const { return m_pinned.has_value(); }

    void ConnectLink();
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
    ByteIo &io();
    qint64 bytesAvailable() { return io().bytesAvailable(); }
    QByteArray read(qint64 max) { return io().read(max); }
    bool write(const QByteArray &bytes) { return io().write(bytes); }
    // Waits until at least n bytes are waiting; false at the deadline, when
    // quitting, or when the link has been lost.
    bool waitForBytes(qint64 n, Ms deadline);

    Waiter &waiter() { return m_waiter; }

    // Program end: release whatever is open.
    void closeAll();

    // The serial device and settings string the next open uses (for display
    // and tests).
    QString serialDevice() const;
    QString serialSettings() const { return serialSettingsString(m_baud); }

Q_SIGNALS:
    void statusCaptionChanged(const QString &caption);
    // A TCP connect starts waiting for the peer ("HOST:PORT"); it ends with
    // ConnectLink.
    void connecting(const QString &peer);

private:
    friend class LinkClaim;

    void setCaption(const QString &caption);
    void onLost(ByteIo &io);
    void connectSerial();
    void connectTcp();

    const CommSettings &m_comm;
    Waiter &m_waiter;
    core::MessageBox &m_messages;
    SerialIo &m_serial;
    TcpIo &m_tcp;
    // The open link went away under us (not closed by the user): every reply
    // wait ends at once until the next connect.
    bool m_peerLost = false;
    bool m_tcpConnected = false;
    bool m_connectCancelled = false;
    QString m_caption = kDisconnected;
    std::optional<OpenedLink> m_opened;
    QString m_openFailure;
    std::optional<CommSettings::Mode> m_pinned;
    int m_port = 1; // serial port properties, as last applied
    qint32 m_baud = 9600;
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
