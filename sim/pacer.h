#pragma once

#include <QObject>

#include <set>
#include <utility>

class QSocketNotifier;

namespace sim {

class Endpoint;

// The line rate of a paced simulator and the one timer all its endpoints
// share: with a timer descriptor each, every wake-up would poll a thousand of
// them. The process sleeps until the next byte is due. Wake-ups fall on a
// grid of one byte's time on the line, so that many controllers wake
// together rather than one by one: an answer is at most a byte late, under
// 2 % of a block's round trip at any rate.
class Pacer final : public QObject {
    Q_OBJECT
public:
    explicit Pacer(int baud, QObject *parent = nullptr);
    ~Pacer() override;

    // Rounded up: never faster than the line (10 bits a byte).
    qint64 byteNs() const { return m_byteNs; }
    static qint64 nowNs(); // monotonic
    // Has the endpoint deliver what is due at `at` (or later); replaces the
    // endpoint's earlier wake-up. A negative time cancels it.
    void wakeAt(Endpoint *endpoint, qint64 at);

private:
    void fire();
    void arm();

    qint64 m_byteNs;
    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    std::set<std::pair<qint64, Endpoint *>> m_due;
};

} // namespace sim
