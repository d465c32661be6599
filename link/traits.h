#pragma once

namespace wire {

// The pauses, time-outs and texts of the downloads and the loopback test:
// those the controller's boot code and user code keep for a serial line, or
// those for a network connection.
enum class Pacing { Line, Network };

// How the operations treat the transport in use, wherever the controller's
// tools handle a serial line and a network connection apart. Each is named
// for what it does: a serial line reached through a device server behaves as
// a line in every one of them.
struct Traits {
    // A wait for an acknowledgement or a start reply takes one byte and
    // leaves the rest waiting; otherwise it takes everything received.
    bool readsOneByte = true;
    // Input left from earlier exchanges (a reply that came after its
    // time-out) is thrown away before a command and after the pause that
    // follows a download's break-in.
    bool dropsStaleInput = true;
    // A reply line's time-out is tested before each character is taken;
    // otherwise after it, so the character of the last pass is kept.
    bool timeoutBeforeByte = true;
    // The wake-up's two carriage returns go as two writes; otherwise as one.
    bool wakeupInTwoWrites = true;
    // Every command and wake-up is followed by one pass of the event loop.
    bool pumpsAfterSend = false;
    Pacing pacing = Pacing::Line;
    // The line runs at the rate the link set when it opened it, so a
    // download needs that rate at 9600.
    bool rateIsOurs = true;
    // The transfer test ("HS test") reaches the controller over it.
    bool carriesTransferTest = false;
    // The terminal sends typed keys only once it was entered over it.
    bool typingAfterEntry = false;
};

// A serial line.
inline constexpr Traits kLineTraits{};
// A TCP connection to the controller.
inline constexpr Traits kNetworkTraits{
    .readsOneByte = false,
    .dropsStaleInput = false,
    .timeoutBeforeByte = false,
    .wakeupInTwoWrites = false,
    .pumpsAfterSend = true,
    .pacing = Pacing::Network,
    .rateIsOurs = false,
    .carriesTransferTest = true,
    .typingAfterEntry = true,
};

} // namespace wire
