// The reply-line reader over the fake transports: arbitrary bytes arrive in
// arbitrary chunks at arbitrary times on the virtual clock, sometimes with the
// link dropped. Lines read before the first time-out must be exactly the
// carriage-return separated pieces of what arrived (cut at the line limit).
#include "fuzz/fuzzinput.h"
#include "tests/common/fakerig.h"

#include <QCoreApplication>

#include <cstdlib>

using namespace std::chrono_literals;

// libFuzzer fixes this signature.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) // NOLINT(readability-non-const-parameter)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    testing::FakeRig rig;
    const bool tcp = in.byte() & 1;
    if (!(tcp ? rig.connectTcp() : rig.connectSerial()))
        std::abort();

    QByteArray arrived; // everything delivered, in order of arrival
    wire::Ms at{0};     // delivery times never go backwards
    int chunks = 0;
    int floods = 0;
    while (!in.empty() && chunks < 64) {
        ++chunks;
        const uint8_t h = in.byte();
        const unsigned n = h & 63U;
        switch (h >> 6) {
        case 0:
            break;
        case 1:
            at += 2ms;
            break;
        case 2:
            at += wire::Ms{n * 200};
            break;
        default:
            if (n == 0) {
                rig.dropAfter(at);
                continue;
            }
            if (n == 1 && floods++ == 0) {
                // A flood without a carriage return, past the line limit.
                const QByteArray flood(wire::kMaxReplyLine + 10, in.byte() == '\r' ? 'A' : 'B');
                rig.peer().deliver(flood, at);
                arrived += flood;
                continue;
            }
            at += 4999ms;
            break;
        }
        const QByteArray chunk = in.bytes(h >> 6 == 2 ? in.byte() % 64U : n);
        rig.peer().deliver(chunk, at);
        arrived += chunk;
    }

    const QByteArrayList expected = arrived.split('\r');
    bool clean = true; // no time-out yet: every line so far was whole
    qsizetype line = 0;
    const int limit = static_cast<int>(arrived.size()) + chunks + 8;
    for (int i = 0; i < limit; ++i) {
        const wire::ReplyLine got = rig.link.ReadReplyLine();
        const QByteArray &reply = got.text;
        if (reply.contains('\r') || reply.size() > wire::kMaxReplyLine)
            std::abort();
        if (got.timedOut) {
            clean = false;
            if (!rig.link.io().isOpen() || rig.waiter.now() > at + wire::kReplyTimeout)
                break;
            continue;
        }
        if (clean) {
            if (line >= expected.size() - 1 || reply != expected.at(line).left(wire::kMaxReplyLine))
                std::abort();
            ++line;
        }
    }
    return 0;
}
