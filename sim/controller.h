#pragma once

#include <QByteArray>
#include <QByteArrayList>

#include <functional>
#include <vector>

namespace sim {

// The controller side of the wire, written from the wire formats alone. It
// does no I/O: bytes come in through feed(), go out through send.
class Controller {
public:
    struct Options {
        int idSize = 18;
        QByteArray version = "5200 Series Controller V 02.14";
        QByteArray ack = "OK";
        // Lines that start with one of these get no reply at all.
        QByteArrayList silentOn;
    };

    explicit Controller(Options options);

    void feed(const QByteArray &bytes);
    // A new connection: half a line from the last one is forgotten.
    void resetSession();

    // Replies one line: text and a carriage return.
    void reply(const QByteArray &line) const;
    void sendRaw(const QByteArray &bytes) const;

    std::function<void(const QByteArray &)> send;
    // Set by the transport: drops the connection (for the fault switches).
    std::function<void()> drop;
    void dropConnection() const
    {
        if (drop)
            drop();
    }

    // A handler sees each complete command line (without its carriage
    // return) and answers true when it has dealt with it. Lines nobody takes
    // get the short acknowledgement.
    using LineHandler = std::function<bool(const QByteArray &line)>;
    void addLineHandler(LineHandler handler);
    // An interceptor sees every byte before lines are assembled and answers
    // true when it has consumed it (the boot code, the echo mode).
    using ByteInterceptor = std::function<bool(char byte)>;
    void addInterceptor(ByteInterceptor interceptor);
    // Runs at each new connection, so a module's byte mode ends with its peer.
    void addSessionStart(std::function<void()> onStart);
    // An ID-size change clears the controller's lists and schedules: the
    // modules that keep them are told here.
    void addDataWipe(std::function<void()> onWipe);
    void wipeData() const;

    Options &options() { return m_options; }

private:
    void onLine(const QByteArray &line);

    Options m_options;
    QByteArray m_line;
    std::vector<LineHandler> m_handlers;
    std::vector<ByteInterceptor> m_interceptors;
    std::vector<std::function<void()>> m_sessionStarts;
    std::vector<std::function<void()>> m_dataWipes;
};

} // namespace sim
