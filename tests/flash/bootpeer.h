#pragma once

// A scripted controller boot code for the download tests, on the virtual
// clock: written from the wire format, not from the program's code.
#include "link/fake/fakeio.h"

#include <QByteArray>
#include <QList>

#include <algorithm>
#include <functional>
#include <map>

namespace testing {

inline constexpr char kBreakInBytes[] = {0x00, 0x1b, 0x0d, 0x00, 0x1b, 0x0d};

inline QByteArray breakIn() { return QByteArray(kBreakInBytes, 6); }

inline char xorOf(const QByteArray &data)
{
    char x = 0;
    for (const char c : data)
        x = static_cast<char>(x ^ c);
    return x;
}

// The frames for payload cut into blocks of size.
inline QByteArray framesFor(const QByteArray &payload, int size)
{
    QByteArray out;
    for (qsizetype at = 0; at < payload.size(); at += size) {
        const QByteArray block = payload.mid(at, size);
        out += char(block.size()) + block + xorOf(block);
    }
    return out;
}

// An image whose bytes differ from block to block.
inline QByteArray imageOf(qsizetype size)
{
    QByteArray image;
    for (qsizetype i = 0; i < size; ++i)
        image.append(static_cast<char>((i * 7 + i / 50) & 0xff));
    return image;
}

struct BootPeer {
    explicit BootPeer(wire::fake::FakeStream &stream) : s(stream)
    {
        s.onWrite = [this](const QByteArray &w) { onWrite(w); };
    }

    // The start reply, as separate deliveries.
    QByteArrayList startReply{"TK"};
    // Whether the end marker is answered at once (the serial extension has
    // neither trailer nor date).
    bool finalAfterEnd = false;
    // Replies by acknowledgement number (from 1: blocks, then the final "B",
    // then the fills); an empty reply is silence.
    std::map<int, QByteArray> replies;
    wire::Ms delay{2};
    // Instead of this acknowledgement, the link goes away (dropLink runs).
    int dropAt = 0;
    std::function<void()> dropLink;

    int acks = 0;
    bool ended = false;
    QList<wire::Ms> writeTimes;

    void onWrite(const QByteArray &w)
    {
        writeTimes.append(clockNow());
        if (w == breakIn())
            return;
        if (w == "B" || w == "w") {
            ended = false;
            wire::Ms at = delay;
            for (const QByteArray &part : startReply) {
                s.deliver(part, at);
                at += delay;
            }
            return;
        }
        if (!ended && w.size() == 1 && w.at(0) == 0) {
            ended = true;
            if (finalAfterEnd)
                answer('B');
            return;
        }
        if (!ended && w.size() >= 3 && static_cast<quint8>(w.at(0)) == w.size() - 2) {
            answer('K');
            return;
        }
        const bool date = w.size() == 8 && std::all_of(w.begin(), w.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (date || w == QByteArray(52, '\xff'))
            answer('B');
    }

    void answer(char ack)
    {
        const int n = ++acks;
        if (n == dropAt && dropLink) {
            dropLink();
            return;
        }
        const auto it = replies.find(n);
        const QByteArray reply = it == replies.end() ? QByteArray(1, ack) : it->second;
        if (!reply.isEmpty())
            s.deliver(reply, delay);
    }

    std::function<wire::Ms()> clockNow = [] { return wire::Ms{0}; };
    wire::fake::FakeStream &s;
};

} // namespace testing
