#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace testing {

// The device server technicians run on Linux (Debian's ser2net 4), in the
// foreground with a configuration of the test's own: one serial device behind
// a telnet(rfc2217) accepter and a raw accepter on 127.0.0.1, without
// per-character delays. It ends with the object.
class Ser2net {
public:
    ~Ser2net();
    // Starts it on free ports and waits until both accepters listen; false
    // with the reason in error (ser2net missing is an error, not a skip).
    bool start(const QString &device, QString *error);
    quint16 rfc2217Port() const { return m_ports[0]; }
    quint16 rawPort() const { return m_ports[1]; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_ports[2] = {};
};

// The rate a serial line runs at, as stty reads it (the line behind the
// server while a client has it open).
int lineSpeed(const QString &device);

} // namespace testing
