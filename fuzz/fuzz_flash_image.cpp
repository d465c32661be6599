// The flash image splitter and block framer, for every download variant: the
// framed blocks and the trailer put back together must give the image again,
// and every frame must carry its own length and check byte. Also the start
// reply matcher fed arbitrary chunks, and the progress and time-left texts.
#include "flash/download.h"
#include "flash/image.h"
#include "fuzz/fuzzinput.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    const auto kind = in.byte() & 1 ? flash::Kind::BootExt : flash::Kind::Flash;
    const flash::Variant v = flash::variantFor(kind, in.byte() & 1 ? wire::kNetworkTraits : wire::kLineTraits);

    // The start reply: matched exactly when the chunks make the expected text.
    flash::StartReply start(v.startReply);
    QByteArray collected;
    const unsigned pieces = in.pick(5);
    bool matched = false;
    for (unsigned i = 0; i < pieces; ++i) {
        const QByteArray piece = in.bytes(in.pick(4));
        collected += piece;
        matched = start.feed(piece);
    }
    if (pieces > 0 && matched != (collected == v.startReply))
        std::abort();
    if (start.matched() != (collected == v.startReply))
        std::abort();

    const quint32 elapsed = in.word() * 1000U + in.byte();
    const QByteArray image = in.rest();
    const flash::ImageLayout layout = flash::layoutFor(image.size(), v.trailerSize, v.blockSize);
    if (layout.payloadLength != image.size() - v.trailerSize)
        std::abort();
    if (layout.payloadLength <= 0) {
        if (layout.totalBlocks() != 0)
            std::abort();
        return 0;
    }
    if (layout.lastBlockSize < 1 || layout.lastBlockSize > v.blockSize
        || layout.fullBlocks * v.blockSize + layout.lastBlockSize != layout.payloadLength)
        std::abort();

    // Split and frame as the download does, then take the frames apart again.
    QByteArray back;
    qint64 sent = 0;
    for (qint64 b = 0; b < layout.totalBlocks(); ++b) {
        const qint64 n = b < layout.fullBlocks ? v.blockSize : layout.lastBlockSize;
        const QByteArray frame = flash::frameBlock(QByteArrayView(image.constData() + sent, n));
        if (frame.size() != n + 2 || static_cast<quint8>(frame.at(0)) != n)
            std::abort();
        const QByteArray body = frame.mid(1, n);
        if (static_cast<quint8>(frame.back()) != flash::checkByte(body))
            std::abort();
        back += body;
        sent += n;
        if (flash::progressText(sent, layout.payloadLength).size()
            != QStringLiteral("Downloading - 00 % complete").size())
            std::abort();
        (void)flash::timeLeftText(std::chrono::milliseconds(elapsed), sent, layout.payloadLength);
    }
    back += image.right(v.trailerSize);
    if (back != image)
        std::abort();
    return 0;
}
