#include "flash/download.h"

#include "core/numbers.h"
#include "link/link.h"

namespace flash {

Variant variantFor(Kind kind, const wire::Traits &traits)
{
    Variant v;
    v.kind = kind;
    v.pacing = traits.pacing;
    v.readsOneByte = traits.readsOneByte;
    v.dropsStaleInput = traits.dropsStaleInput;
    const bool network = traits.pacing == wire::Pacing::Network;
    if (kind == Kind::Flash) {
        v.pause = network ? Ms{8000} : Ms{10000};
        v.bTimeout = network ? Ms{15000} : Ms{10000};
        v.clearStatusOnError = !network;
        return v;
    }
    v.fullBeforeLast = false;
    v.clearStatusOnError = false;
    if (network) {
        v.pause = Ms{3000};
        v.startTimeout = v.kTimeout = v.bTimeout = Ms{10000};
        v.fills = 2;
        return v;
    }
    // The extension loader on a line takes the whole file in 32-byte blocks and
    // wants neither trailer nor date.
    v.trailerSize = 0;
    v.blockSize = 32;
    v.startChar = 'w';
    v.startReply = "YK";
    v.pause = Ms{1000};
    v.startTimeout = Ms{7000};
    v.kTimeout = v.bTimeout = Ms{5000};
    v.sendDate = false;
    return v;
}

Ms expectedDuration(const Variant &v, qint64 imageLength, qint32 baud)
{
    constexpr qint64 kBitsPerByte = 10;
    constexpr qint64 kFrame = 2; // length and check bytes
    constexpr qint64 kEndOfBlocks = 1;
    constexpr qint64 kDateLength = 8;
    const ImageLayout layout = layoutFor(imageLength, v.trailerSize, v.blockSize);
    const qint64 blocks = layout.totalBlocks();
    // Each block with its acknowledgement, and the final one after the trailer.
    const qint64 bytes = kBreakIn.size() + 1 + v.startReply.size() + layout.payloadLength + blocks * (kFrame + 1)
        + kEndOfBlocks + v.trailerSize + (v.sendDate ? kDateLength : 0) + 1 + v.fills * (kFillSize + 1);
    return v.pause + Ms{bytes * kBitsPerByte * 1000 / baud};
}

QString timeoutMessage(const Variant &v)
{
    if (v.pacing == wire::Pacing::Network)
        return QStringLiteral("Timeout Error");
    return QStringLiteral("Timeout Error, error code") + core::signReserving(StageStart);
}

QString downloadErrorMessage(const Variant &v, int stage)
{
    if (v.pacing == wire::Pacing::Network)
        return QStringLiteral("Download Error");
    return QStringLiteral("Download Error, error code") + core::signReserving(stage);
}

bool baudAllowsDownload(const wire::Link &link)
{
    constexpr qint32 kFlashBaud = 9600;
    if (!link.traits().rateIsOurs)
        return true;
    return link.selected().baud == kFlashBaud && link.rateInForce().value_or(kFlashBaud) == kFlashBaud;
}

FlashDownload::FlashDownload(Kind kind, wire::Link &link, core::StatusLine &status, core::MessageBox &messages)
    : m_kind(kind), m_link(link), m_waiter(link.waiter()), m_status(status), m_messages(messages)
{}

Variant FlashDownload::variant() const { return variantFor(m_kind, m_link.traits()); }

namespace {
// Clears a flag on every way out of a scope.
struct FlagGuard {
    explicit FlagGuard(bool &flag) : m_flag(flag) { m_flag = true; }
    ~FlagGuard() { m_flag = false; }
    FlagGuard(const FlagGuard &) = delete;
    FlagGuard &operator=(const FlagGuard &) = delete;
    bool &m_flag;
};
} // namespace

std::optional<QString> DownloadForm::getdownloadfile()
{
    if (busy())
        return std::nullopt;
    FlagGuard choosing(m_choosing);
    m_imagePath.clear();
    const QString title = m_download.kind() == Kind::Flash
        ? QStringLiteral("Select Flash Image to Download")
        : QStringLiteral("Select Bootloader Extension Image to Download");
    std::optional<QString> chosen = m_files.openFile(title, kImageFilter);
    if (!chosen || chosen->isEmpty())
        return std::nullopt;
    m_imagePath = *chosen;
    return chosen;
}

Result DownloadForm::doflashdl()
{
    if (busy() || m_imagePath.isEmpty())
        return {};
    return m_download.doflashdl(m_imagePath);
}

Result FlashDownload::doflashdl(const QString &image)
{
    if (m_busy)
        return {};
    wire::LinkClaim claim(m_link);
    if (!claim.claimed())
        return {};
    FlagGuard busy(m_busy);
    Result r = run(image);
    if (m_observer)
        m_observer->finished(r, m_waiter.now());
    return r;
}

FlashDownload::Input FlashDownload::waitForInput(Ms deadline)
{
    wire::ByteIo &io = m_link.io();
    m_waiter.waitUntil([&io] { return io.bytesAvailable() > 0 || !io.isOpen(); }, deadline);
    if (m_waiter.quitting())
        return Input::Quit;
    if (io.bytesAvailable() > 0)
        return Input::Data;
    // A lost link is closed by the link layer at once; waiting on would only
    // postpone the error to the end of the time-out.
    if (!io.isOpen())
        return Input::Lost;
    return Input::TimedOut;
}

// A wait that reads one byte leaves the rest waiting; the others take
// everything received and look at the first byte.
bool FlashDownload::waitAck(char expected, Ms timeout, bool readOne)
{
    switch (waitForInput(m_waiter.now() + timeout)) {
    case Input::Data:
        break;
    case Input::TimedOut:
        m_stopped.cause = Cause::NoAnswer;
        m_stopped.waited = timeout;
        return false;
    case Input::Lost:
        m_stopped.cause = Cause::LinkLost;
        return false;
    case Input::Quit:
        return false;
    }
    wire::ByteIo &io = m_link.io();
    const QByteArray got = io.read(readOne ? 1 : io.bytesAvailable());
    if (!got.isEmpty() && got.at(0) == expected)
        return true;
    m_stopped.cause = Cause::WrongAnswer;
    m_stopped.answer = got;
    return false;
}

bool FlashDownload::wait_for_k() { return waitAck('K', m_v.kTimeout, true); }
bool FlashDownload::wait_for_k_tcp() { return waitAck('K', m_v.kTimeout, false); }
bool FlashDownload::wait_for_b() { return waitAck('B', m_v.bTimeout, true); }
bool FlashDownload::wait_for_b_tcp() { return waitAck('B', m_v.bTimeout, false); }

bool FlashDownload::waitK() { return m_v.readsOneByte ? wait_for_k() : wait_for_k_tcp(); }
bool FlashDownload::waitB() { return m_v.readsOneByte ? wait_for_b() : wait_for_b_tcp(); }

bool FlashDownload::send(const QByteArray &bytes)
{
    if (m_link.write(bytes))
        return true;
    m_stopped.cause = Cause::LinkLost;
    return false;
}

Result FlashDownload::fail(Outcome outcome, int stage, const QString &message, bool clearStatus)
{
    Result r = m_stopped;
    r.stage = stage;
    // Closing the program unwinds the download without a word.
    if (m_waiter.quitting()) {
        r.outcome = Outcome::Quit;
        return r;
    }
    if (clearStatus)
        m_status.setStatus(QString());
    m_messages.message(message);
    r.outcome = outcome;
    r.message = message;
    return r;
}

Result FlashDownload::downloadError(int stage)
{
    return fail(Outcome::DownloadError, stage, downloadErrorMessage(m_v, stage), m_v.clearStatusOnError);
}

Result FlashDownload::run(const QString &imagePath)
{
    m_v = variant();
    m_stopped = {};
    m_status.setStatus(kPreparing);
    // The whole image is read before the first byte goes out, so that a file
    // that cannot be read leaves the controller untouched.
    QString error;
    const std::optional<QByteArray> image = readImageFile(imagePath, &error);
    if (!image) {
        m_status.setStatus(QString());
        return fail(Outcome::ImageUnreadable, 0, error, false);
    }
    if (!m_link.io().isOpen()) {
        m_status.setStatus(QString());
        return fail(Outcome::NotConnected, 0, kNotConnected, false);
    }
    const ImageLayout layout = layoutFor(image->size(), m_v.trailerSize, m_v.blockSize);
    // An image with no payload would leave the controller in its boot code
    // with nothing to load: it is refused before the break-in.
    if (layout.payloadLength <= 0)
        return fail(Outcome::EarlyEnd, 0, kEarlyEnd, false);
    if (Ending e = breakIn())
        return *e;
    if (Ending e = startHandshake())
        return *e;
    m_stopped.inBootCode = true;
    if (Ending e = sendBlocks(*image, layout))
        return *e;
    if (Ending e = sendTrailer(*image))
        return *e;
    m_status.setStatus(QString());
    m_messages.message(kComplete);
    Result done = m_stopped;
    done.outcome = Outcome::Complete;
    done.message = kComplete;
    done.inBootCode = false;
    return done;
}

// The break-in, and the pause while the controller restarts into its boot
// code.
FlashDownload::Ending FlashDownload::breakIn()
{
    wire::ByteIo &io = m_link.io();
    if (!send(kBreakIn))
        return downloadError(StageStart);
    const Ms restarted = m_waiter.now() + m_pauseOverride.value_or(m_v.pause);
    if (m_observer)
        m_observer->pausing(restarted, m_waiter.now());
    m_waiter.waitUntil([&io] { return !io.isOpen(); }, restarted);
    if (m_waiter.quitting())
        return fail(Outcome::Quit, StageStart, QString(), false);
    if (!io.isOpen()) {
        m_stopped.cause = Cause::LinkLost;
        return downloadError(StageStart);
    }
    if (m_v.dropsStaleInput)
        io.discardInput();
    return std::nullopt;
}

// The start character, and the start reply collected within its time-out.
FlashDownload::Ending FlashDownload::startHandshake()
{
    wire::ByteIo &io = m_link.io();
    if (!send(QByteArray(1, m_v.startChar)))
        return downloadError(StageStart);
    StartReply reply(m_v.startReply);
    const Ms startDeadline = m_waiter.now() + m_v.startTimeout;
    for (;;) {
        switch (waitForInput(startDeadline)) {
        case Input::Quit:
            return fail(Outcome::Quit, StageStart, QString(), false);
        case Input::Lost:
            m_stopped.cause = Cause::LinkLost;
            return downloadError(StageStart);
        case Input::TimedOut:
            m_stopped.cause = Cause::NoAnswer;
            m_stopped.waited = m_v.startTimeout;
            return fail(Outcome::StartTimeout, StageStart, timeoutMessage(m_v), m_v.clearStatusOnError);
        case Input::Data:
            break;
        }
        if (reply.feed(io.read(m_v.readsOneByte ? 1 : io.bytesAvailable())))
            return std::nullopt;
        // A peer that never stops talking must not hold the wait past its
        // time-out: the wait sees the deadline only when nothing is waiting.
        if (m_waiter.now() >= startDeadline) {
            m_stopped.cause = Cause::WrongAnswer;
            return fail(Outcome::StartTimeout, StageStart, timeoutMessage(m_v), m_v.clearStatusOnError);
        }
    }
}

// Every block framed and acknowledged, the last one on its own.
FlashDownload::Ending FlashDownload::sendBlocks(const QByteArray &image, const ImageLayout &layout)
{
    const qint64 total = layout.totalBlocks();
    m_stopped.blocks = total;
    const int size = layout.blockSize;
    if (m_observer)
        m_observer->blocksStarting(total, layout.payloadLength, m_waiter.now());
    const char *payload = image.constData();
    qint64 sent = 0;
    qint64 lastShown = -1;
    for (qint64 b = 0; b < layout.fullBlocks; ++b) {
        m_stopped.block = b + 1;
        if (m_observer)
            m_observer->blockSending(b + 1, m_waiter.now());
        if (!send(frameBlock(QByteArrayView(payload + b * size, size))) || !waitK())
            return downloadError(StageBlock);
        sent += size;
        // The text changes once in many blocks; build it only then.
        if (const qint64 shown = progressHundredths(sent, layout.payloadLength); shown != lastShown) {
            lastShown = shown;
            m_status.setStatus(progressText(sent, layout.payloadLength));
        }
        if (m_observer)
            m_observer->blockAcknowledged(b + 1, sent, m_waiter.now());
    }
    if (m_v.fullBeforeLast)
        m_status.setStatus(kFullBeforeLast);
    m_stopped.block = total;
    if (m_observer)
        m_observer->blockSending(total, m_waiter.now());
    if (!send(frameBlock(QByteArrayView(payload + sent, layout.lastBlockSize))) || !waitK())
        return downloadError(StageLastBlock);
    if (m_observer)
        m_observer->blockAcknowledged(total, layout.payloadLength, m_waiter.now());
    return std::nullopt;
}

// The end of the blocks, the trailer and date unframed, and the final
// acknowledgements.
FlashDownload::Ending FlashDownload::sendTrailer(const QByteArray &image)
{
    if (!send(QByteArray(1, '\0')))
        return downloadError(StageFinal);
    if (m_v.trailerSize > 0 && !send(image.right(m_v.trailerSize)))
        return downloadError(StageFinal);
    if (m_v.sendDate && !send(dateStamp(m_today())))
        return downloadError(StageFinal);
    if (!waitB())
        return downloadError(StageFinal);
    for (int f = 0; f < m_v.fills; ++f) {
        if (!send(QByteArray(kFillSize, '\xff')) || !waitB())
            return downloadError(StageFinal);
    }
    return std::nullopt;
}

} // namespace flash
