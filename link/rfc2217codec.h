#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>

namespace wire {

// The client's side of a Telnet session that sets a serial port's line
// (RFC 2217, COM-PORT-OPTION) on a device server. It does no I/O: the caller
// hands it what the server sent and gets back the data among it; whatever the
// session has to say to the server collects for takeOutput(). The line is
// always 8 data bits, no parity, 1 stop bit; only the rate varies.
class Rfc2217Codec {
public:
    // Starts a new session: offers binary transfer both ways, no go-aheads and
    // serial-port control, and asks for baud once the server takes the last.
    void start(qint32 baud);
    // Takes bytes from the server, split anywhere; returns the data they carry.
    QByteArray receive(QByteArrayView bytes);
    // Data for the server, with the Telnet escape byte doubled.
    static QByteArray escape(QByteArrayView data);
    // Asks the server for another rate; nothing when it is the rate last asked.
    void setBaud(qint32 baud);
    // Asks the server to throw away what it has received from the device and
    // not passed on yet.
    void purgeReceived();
    // What has to go to the server now; taken, so each byte is sent once.
    QByteArray takeOutput();

    // Binary transfer and serial-port control agreed, and the line set as asked.
    bool ready() const { return m_ready; }
    // The server has sent at least one Telnet command.
    bool spoke() const { return m_spoke; }
    // Why the session cannot be used, in plain words; empty while it can.
    const QString &failure() const { return m_failure; }
    // The rate the server acknowledged last; 0 before its first answer.
    qint32 baud() const { return m_baud; }
    // A rate has been asked for and not acknowledged yet.
    bool settling() const { return m_baudsAsked > 0; }

private:
    // One side of an option: in force, or asked for and not answered yet.
    struct OptionState {
        bool on = false;
        bool asked = false;
    };
    enum class Parse { Data, Command, Option, Sub, SubCommand };

    void take(quint8 b, QByteArray &data);
    void command(quint8 verb, quint8 option);
    void subnegotiation();
    void acknowledged(quint8 setting, quint32 value);
    void sendCommand(quint8 verb, quint8 option);
    void sendBaud(qint32 baud);
    void sendSetting(quint8 setting, const QByteArray &value);
    void fail(const QString &reason);
    void checkReady();

    Parse m_parse = Parse::Data;
    quint8 m_verb = 0;
    QByteArray m_sub;
    QByteArray m_out;
    std::array<OptionState, 256> m_ours{};   // what we do (WILL/WONT, asked with DO/DONT)
    std::array<OptionState, 256> m_theirs{}; // what the server does
    qint32 m_asked = 0;
    qint32 m_baud = 0;
    int m_baudsAsked = 0;
    int m_settingsLeft = 0; // of the four asked at the start
    bool m_spoke = false;
    bool m_ready = false;
    QString m_failure;
};

} // namespace wire
