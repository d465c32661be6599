#include "loopback/loopbacktest.h"

#include "core/numbers.h"

#include <QScopeGuard>

namespace loopback {

namespace {
QString hex(quint8 code) { return QString::number(code, 16).toUpper(); }
// A line shows progress every thousandth character; a network connection
// every character.
constexpr qint64 kSerialProgressEvery = 1000;
} // namespace

QString startLine(wire::Pacing pacing)
{
    return pacing == wire::Pacing::Network ? QStringLiteral("Starting Loopback Test on tcp port")
                                           : QStringLiteral("Starting Loopback Test on serial port");
}

QString badEchoLine(qint64 count, quint8 sent, quint8 received)
{
    return core::signReserving(count) + QStringLiteral(": bad echo, expected ") + hex(sent)
        + QStringLiteral(" received ") + hex(received);
}

QString timeoutLine(qint64 count) { return core::signReserving(count) + QStringLiteral(": timeout"); }

QString endLine(qint64 count) { return core::signReserving(count) + QStringLiteral(": end of test"); }

QString progressCaption(qint64 count) { return QStringLiteral("Characters Sent: ") + core::signReserving(count); }

LoopbackTest::LoopbackTest(wire::Link &link, core::Pane &list, core::StatusLine &progress)
    : m_link(link), m_list(list), m_progress(progress)
{}

void LoopbackTest::discardWaiting(wire::ByteIo &io)
{
    while (io.bytesAvailable() > 0)
        if (io.read(io.bytesAvailable()).isEmpty())
            break;
}

Outcome LoopbackTest::run(int passes)
{
    wire::LinkClaim claim(m_link);
    if (!claim.claimed())
        return Outcome::Refused;
    m_running = true;
    const auto done = qScopeGuard([this] { m_running = false; });
    m_stopRequest = false;
    m_sent = m_bad = m_timeouts = 0;
    m_progress.setStatus(QString());

    const Outcome outcome = exchange(passes);
    if (outcome == Outcome::Quitting)
        return outcome; // the window is going away: nothing more to tell
    if (outcome == Outcome::LinkLost)
        m_list.append(wire::kDisconnected);
    m_list.append(endLine(m_sent));
    return outcome;
}

Outcome LoopbackTest::exchange(int passes)
{
    wire::Waiter &waiter = m_link.waiter();
    const bool network = m_link.traits().pacing == wire::Pacing::Network;
    wire::ByteIo &io = m_link.io();
    m_list.append(startLine(m_link.traits().pacing));

    // The link is checked here and at every wait: a closed or lost link ends
    // the test instead of listing a time-out for each of half a million
    // characters.
    if (!io.isOpen())
        return Outcome::LinkLost;
    io.write(kWakeup);
    waiter.waitUntil([&] { return !io.isOpen(); }, waiter.now() + (network ? kTcpSettle : kSerialSettle));
    if (waiter.quitting())
        return Outcome::Quitting;
    if (!io.isOpen())
        return Outcome::LinkLost;
    discardWaiting(io);
    io.write(kStartMarker);

    const wire::Ms echoWait = network ? kTcpEcho : kSerialEcho;
    for (int pass = 1; pass <= passes; ++pass) {
        for (int value = 0; value <= 255; ++value) {
            if (m_stopRequest)
                return Outcome::Stopped;
            ++m_sent;
            if (network || m_sent % kSerialProgressEvery == 0)
                m_progress.setStatus(progressCaption(m_sent));
            const auto sent = static_cast<quint8>(value);
            io.write(QByteArray(1, static_cast<char>(sent)));
            // Exactly one character: a late echo arriving with the current
            // one is surplus and makes this wait run into its time-out.
            const bool one =
                waiter.waitUntil([&] { return io.bytesAvailable() == 1 || !io.isOpen(); }, waiter.now() + echoWait);
            if (waiter.quitting())
                return Outcome::Quitting;
            if (!io.isOpen())
                return Outcome::LinkLost;
            if (!one) {
                ++m_timeouts;
                m_list.append(timeoutLine(m_sent));
                // Surplus characters are stale echoes; left waiting they would
                // make every later wait time out too.
                discardWaiting(io);
                continue;
            }
            const QByteArray got = io.read(1);
            if (got.isEmpty())
                continue;
            const auto received = static_cast<quint8>(got.at(0));
            if (received != sent) {
                ++m_bad;
                m_list.append(badEchoLine(m_sent, sent, received));
            }
        }
    }
    return Outcome::Completed;
}

QJsonObject LoopbackTest::figures() const
{
    return {{QStringLiteral("characters_sent"), m_sent},
            {QStringLiteral("bad_echoes"), m_bad},
            {QStringLiteral("timeouts"), m_timeouts}};
}

} // namespace loopback
