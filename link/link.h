#pragma once

#include "core/appstate.h"
#include "core/sinks.h"
#include "link/byteio.h"
#include "link/commsettings.h"
#include "link/waiter.h"

#include <QObject>

namespace wire {

inline constexpr Ms kReplyTimeout{5000};
inline constexpr Ms kConnectPass{100};
inline constexpr int kConnectPasses = 30;
// A reply line longer than this is cut: the controller's lines are short, and
// a stream that never sends a carriage return must not eat the memory.
inline constexpr qsizetype kMaxReplyLine = qsizetype{64} * 1024;

inline const QString kConnected = QStringLiteral("Connected");
inline const QString kDisconnected = QStringLiteral("Disconnected");

enum ReplyStatus : qint16 { ReplyReceived = 0, ReplyTimedOut = -1 };

// The one link to the controller: a serial port and a TCP client, either of
// which the link mode selects. The status caption is the record of whether the
// link is open.
class Link : public QObject {
    Q_OBJECT
public:
    Link(core::AppState &state, CommSettings &comm, Waiter &waiter, core::MessageBox &messages, SerialIo &serial,
         TcpIo &tcp, QObject *parent = nullptr);

    const QString &statusCaption() const { return m_caption; }
    bool isConnected() const { return m_caption == kConnected; }
    bool isTcp() const { return m_state.linkMode == core::LinkTcp; }

    void ConnectLink();
    void DisconnectLink();
    void ApplySerialSettings();
    void SendCommand(const QByteArray &text);
    void SendWakeup();
    ReplyStatus ReadReplyLine(QByteArray &reply);

    // Raw bytes on the transport of the current link mode, for the terminal,
    // the downloads and the loopback test.
    ByteIo &io();
    qint64 bytesAvailable() { return io().bytesAvailable(); }
    QByteArray read(qint64 max) { return io().read(max); }
    bool write(const QByteArray &bytes) { return io().write(bytes); }
    // Waits until at least n bytes are waiting; false at the deadline, when
    // quitting, or when the link has been lost.
    bool waitForBytes(qint64 n, Ms deadline);

    Waiter &waiter() { return m_waiter; }
    core::AppState &state() { return m_state; }

    // Program end: release whatever is open.
    void closeAll();

    // The serial device and settings string the next open uses (for display
    // and tests).
    QString serialDevice() const;
    QString serialSettings() const { return serialSettingsString(m_baud); }

Q_SIGNALS:
    void statusCaptionChanged(const QString &caption);

private:
    void setCaption(const QString &caption);
    void onLost(ByteIo &io);
    void connectSerial();
    void connectTcp();

    core::AppState &m_state;
    CommSettings &m_comm;
    Waiter &m_waiter;
    core::MessageBox &m_messages;
    SerialIo &m_serial;
    TcpIo &m_tcp;
    // The open link went away under us (not closed by the user): every reply
    // wait ends at once until the next connect.
    bool m_peerLost = false;
    QString m_caption = kDisconnected;
    int m_port = 1; // serial port properties, as last applied
    qint32 m_baud = 9600;
    QString m_device;
};

} // namespace wire
