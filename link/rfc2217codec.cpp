#include "link/rfc2217codec.h"

namespace wire {

namespace {
// Telnet commands
constexpr quint8 kIac = 255;
constexpr quint8 kDont = 254;
constexpr quint8 kDo = 253;
constexpr quint8 kWont = 252;
constexpr quint8 kWill = 251;
constexpr quint8 kSb = 250;
constexpr quint8 kSe = 240;
// Telnet options
constexpr quint8 kBinary = 0;
constexpr quint8 kSuppressGoAhead = 3;
constexpr quint8 kComPort = 44;
// COM-PORT-OPTION commands as the client sends them; the server answers each
// with the code plus kServerOffset.
constexpr quint8 kSetBaudRate = 1;
constexpr quint8 kSetDataSize = 2;
constexpr quint8 kSetParity = 3;
constexpr quint8 kSetStopSize = 4;
constexpr quint8 kPurgeData = 12;
constexpr quint8 kServerOffset = 100;
// The line this program always uses: 8 data bits, no parity, 1 stop bit.
constexpr quint8 kDataBits = 8;
constexpr quint8 kNoParity = 1;
constexpr quint8 kOneStopBit = 1;
constexpr quint8 kPurgeReceived = 1;
// A subnegotiation longer than this (a server's signature text) is cut;
// the settings' answers are a few bytes.
constexpr qsizetype kMaxSubnegotiation = 64;
// Bits of the four settings asked at the start, one per command code.
constexpr int kAllSettings = (1 << kSetBaudRate) | (1 << kSetDataSize) | (1 << kSetParity) | (1 << kSetStopSize);

QByteArray oneByte(quint8 value) { return QByteArray(1, static_cast<char>(value)); }

bool wantOurs(quint8 option) { return option == kBinary || option == kSuppressGoAhead || option == kComPort; }
bool wantTheirs(quint8 option) { return option == kBinary || option == kSuppressGoAhead; }

QString describeSetting(quint8 setting, quint32 value)
{
    switch (setting) {
    case kSetBaudRate:
        return QStringLiteral("%1 baud").arg(value);
    case kSetDataSize:
        return QStringLiteral("%1 data bits").arg(value);
    case kSetParity: {
        static const std::array<const char *, 6> kNames{"", "no", "odd", "even", "mark", "space"};
        return value >= 1 && value < kNames.size() ? QStringLiteral("%1 parity").arg(QLatin1String(kNames.at(value)))
                                                   : QStringLiteral("parity code %1").arg(value);
    }
    default:
        return value == 1 ? QStringLiteral("1 stop bit")
            : value == 2  ? QStringLiteral("2 stop bits")
            : value == 3  ? QStringLiteral("1.5 stop bits")
                          : QStringLiteral("stop bit code %1").arg(value);
    }
}
} // namespace

void Rfc2217Codec::start(qint32 baud)
{
    *this = Rfc2217Codec{};
    m_asked = baud;
    m_settingsLeft = kAllSettings;
    for (const quint8 option : {kBinary, kSuppressGoAhead}) {
        sendCommand(kWill, option);
        m_ours.at(option).asked = true;
        sendCommand(kDo, option);
        m_theirs.at(option).asked = true;
    }
    sendCommand(kWill, kComPort);
    m_ours.at(kComPort).asked = true;
}

QByteArray Rfc2217Codec::receive(QByteArrayView bytes)
{
    QByteArray data;
    data.reserve(bytes.size());
    for (const char c : bytes)
        take(static_cast<quint8>(c), data);
    return data;
}

void Rfc2217Codec::take(quint8 b, QByteArray &data)
{
    switch (m_parse) {
    case Parse::Data:
        if (b == kIac)
            m_parse = Parse::Command;
        else
            data.append(static_cast<char>(b));
        break;
    case Parse::Command:
        m_parse = Parse::Data;
        if (b == kIac) {
            data.append(static_cast<char>(b));
            break;
        }
        m_spoke = true;
        if (b >= kWill && b <= kDont) {
            m_verb = b;
            m_parse = Parse::Option;
        } else if (b == kSb) {
            m_sub.clear();
            m_parse = Parse::Sub;
        }
        // Go-ahead, no-operation, data mark and the rest carry nothing here.
        break;
    case Parse::Option:
        m_parse = Parse::Data;
        command(m_verb, b);
        break;
    case Parse::Sub:
        if (b == kIac)
            m_parse = Parse::SubCommand;
        else if (m_sub.size() < kMaxSubnegotiation)
            m_sub.append(static_cast<char>(b));
        break;
    case Parse::SubCommand:
        if (b == kIac) {
            if (m_sub.size() < kMaxSubnegotiation)
                m_sub.append(static_cast<char>(b));
            m_parse = Parse::Sub;
        } else if (b == kSe) {
            m_parse = Parse::Data;
            subnegotiation();
        } else {
            // A subnegotiation left unended: drop it and take the command.
            m_parse = Parse::Command;
            take(b, data);
        }
        break;
    }
}

QByteArray Rfc2217Codec::escape(QByteArrayView data)
{
    QByteArray out;
    out.reserve(data.size() + data.count(static_cast<char>(kIac)));
    for (const char c : data) {
        out.append(c);
        if (static_cast<quint8>(c) == kIac)
            out.append(c);
    }
    return out;
}

void Rfc2217Codec::setBaud(qint32 baud)
{
    if (baud == m_asked)
        return;
    m_asked = baud;
    // Before the server has taken serial-port control the rate goes out with
    // the other settings.
    if (m_ours.at(kComPort).on)
        sendBaud(baud);
}

void Rfc2217Codec::sendBaud(qint32 baud)
{
    const auto value = static_cast<quint32>(baud);
    QByteArray bytes;
    for (const int shift : {24, 16, 8, 0})
        bytes.append(static_cast<char>(value >> shift));
    sendSetting(kSetBaudRate, bytes);
    ++m_baudsAsked;
}

void Rfc2217Codec::purgeReceived()
{
    if (m_ours.at(kComPort).on)
        sendSetting(kPurgeData, oneByte(kPurgeReceived));
}

QByteArray Rfc2217Codec::takeOutput() { return std::exchange(m_out, {}); }

// Agrees to what we want and refuses the rest (the server's echo, whatever
// else it offers); answers only where the state changes, so that two sides
// that both ask never loop.
void Rfc2217Codec::command(quint8 verb, quint8 option)
{
    const bool ours = verb == kDo || verb == kDont;
    OptionState &state = ours ? m_ours.at(option) : m_theirs.at(option);
    const quint8 yes = ours ? kWill : kDo;
    const quint8 no = ours ? kWont : kDont;
    if (verb == kDo || verb == kWill) {
        if (!(ours ? wantOurs(option) : wantTheirs(option))) {
            sendCommand(no, option);
            return;
        }
        const bool wasOn = state.on;
        if (!state.on && !state.asked)
            sendCommand(yes, option);
        state = {true, false};
        if (ours && option == kComPort && !wasOn) {
            // The server takes serial-port control: set the line.
            sendBaud(m_asked);
            sendSetting(kSetDataSize, oneByte(kDataBits));
            sendSetting(kSetParity, oneByte(kNoParity));
            sendSetting(kSetStopSize, oneByte(kOneStopBit));
        }
        checkReady();
        return;
    }
    if (!state.on && !state.asked)
        return;
    if (!state.asked)
        sendCommand(no, option);
    state = {};
    if (option == kComPort && ours)
        fail(QStringLiteral("does not offer serial-port control (RFC 2217): set the port to telnet/RFC 2217 mode, or "
                            "use --tcp"));
    else if (option == kBinary)
        fail(QStringLiteral("refuses to pass bytes unchanged (Telnet binary mode)"));
}

void Rfc2217Codec::subnegotiation()
{
    if (m_sub.size() < 2 || static_cast<quint8>(m_sub.at(0)) != kComPort)
        return;
    const int code = static_cast<quint8>(m_sub.at(1)) - kServerOffset;
    const QByteArrayView value = QByteArrayView(m_sub).sliced(2);
    if (code == kSetBaudRate && value.size() == 4) {
        quint32 baud = 0;
        for (const char c : value)
            baud = (baud << 8) | static_cast<quint8>(c);
        acknowledged(kSetBaudRate, baud);
    } else if ((code == kSetDataSize || code == kSetParity || code == kSetStopSize) && value.size() == 1) {
        acknowledged(static_cast<quint8>(code), static_cast<quint8>(value.at(0)));
    }
    // Line and modem state reports, flow control and purge answers need nothing.
}

void Rfc2217Codec::acknowledged(quint8 setting, quint32 value)
{
    quint32 asked = setting == kSetDataSize ? kDataBits : setting == kSetParity ? kNoParity : kOneStopBit;
    if (setting == kSetBaudRate) {
        m_baud = static_cast<qint32>(value);
        if (m_baudsAsked > 0)
            --m_baudsAsked;
        // An answer to a rate asked before the last one proves nothing.
        if (m_baudsAsked > 0)
            return;
        asked = static_cast<quint32>(m_asked);
    }
    // Once open, a later rate's answer is told by baud(); the caller judges it.
    if (m_ready)
        return;
    if (value != asked) {
        fail(QStringLiteral("set %1 instead of %2")
                 .arg(describeSetting(setting, value), describeSetting(setting, asked)));
        return;
    }
    m_settingsLeft &= ~(1 << setting);
    checkReady();
}

void Rfc2217Codec::sendCommand(quint8 verb, quint8 option)
{
    m_out.append(static_cast<char>(kIac));
    m_out.append(static_cast<char>(verb));
    m_out.append(static_cast<char>(option));
}

void Rfc2217Codec::sendSetting(quint8 setting, const QByteArray &value)
{
    m_out.append(static_cast<char>(kIac));
    m_out.append(static_cast<char>(kSb));
    m_out.append(static_cast<char>(kComPort));
    m_out.append(static_cast<char>(setting));
    m_out.append(escape(value));
    m_out.append(static_cast<char>(kIac));
    m_out.append(static_cast<char>(kSe));
}

void Rfc2217Codec::fail(const QString &reason)
{
    if (m_failure.isEmpty())
        m_failure = reason;
    m_ready = false;
}

void Rfc2217Codec::checkReady()
{
    if (m_failure.isEmpty() && m_settingsLeft == 0 && m_baudsAsked == 0 && m_ours.at(kBinary).on
        && m_theirs.at(kBinary).on && m_ours.at(kComPort).on)
        m_ready = true;
}

} // namespace wire
