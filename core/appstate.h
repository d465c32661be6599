#pragma once

#include "core/digitwidth.h"

#include <QString>
#include <QtGlobal>

namespace core {

// Link mode values as the controller tools have always numbered them.
enum LinkMode : qint16 { LinkTcp = 1, LinkSerial = 2 };

// The state every screen and operation shares. One instance, owned by the
// application (or the command-line front end, or a test) and passed by
// reference. Flags are plain bools here; the wire never sees them.
struct AppState {
    qint16 linkMode = LinkSerial;
    qint16 serialPortNumber = 0; // set by the comm screen's default selection
    qint32 chosenBaud = 0;       // likewise
    QString ipAddress;
    QString tcpPortText;

    bool replyTimeout = false;
    bool sendFailure = false;
    bool tcpConnected = false;
    bool terminalStop = false;
    bool terminalTcp = false;

    // True while an operation uses the link; every other action that would
    // use the link is refused until it is cleared, so two exchanges never
    // interleave on one wire.
    bool linkBusy = false;

    DigitWidthTable digitWidth{};
};

// Claims the link for one operation; refuses (claimed() == false) while
// another operation holds it, and releases it on every path out.
class LinkClaim {
public:
    explicit LinkClaim(AppState &state) : m_state(state), m_claimed(!state.linkBusy)
    {
        if (m_claimed)
            m_state.linkBusy = true;
    }
    ~LinkClaim()
    {
        if (m_claimed)
            m_state.linkBusy = false;
    }
    LinkClaim(const LinkClaim &) = delete;
    LinkClaim &operator=(const LinkClaim &) = delete;
    bool claimed() const { return m_claimed; }

private:
    AppState &m_state;
    bool m_claimed;
};

} // namespace core
