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
    Ser2net() = default;
    ~Ser2net();
    Ser2net(const Ser2net &) = delete;
    Ser2net &operator=(const Ser2net &) = delete;

    // Starts it on free ports and waits until both accepters listen; false
    // with the reason in error (ser2net missing is an error, not a skip).
    bool start(const QString &device, QString *error);
    void stop();
    quint16 rfc2217Port() const { return m_rfc2217Port; }
    quint16 rawPort() const { return m_rawPort; }

private:
    bool tryStart(const QString &program, const QString &device, QString *error);

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_rfc2217Port = 0;
    quint16 m_rawPort = 0;
};

} // namespace testing
