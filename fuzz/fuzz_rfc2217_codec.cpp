// The device-server link's Telnet codec: whatever a server sends, in whatever
// pieces, gives the same data, the same answers and the same end as it does in
// one piece; bytes without the escape byte are all data; data escaped for
// sending comes back unchanged; a session is never ready and failed at once.
#include "fuzz/fuzzinput.h"
#include "link/rfc2217codec.h"

#include <array>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    static constexpr std::array<qint32, 5> kRates{9600, 19200, 38400, 57600, 115200};
    const qint32 baud = kRates.at(in.pick(kRates.size()));
    const qsizetype piece = in.pick(16) + 1;
    const QByteArray server = in.rest();

    wire::Rfc2217Codec whole;
    wire::Rfc2217Codec pieces;
    whole.start(baud);
    pieces.start(baud);
    const QByteArray wholeData = whole.receive(server);
    QByteArray pieceData;
    for (qsizetype at = 0; at < server.size(); at += piece)
        pieceData += pieces.receive(QByteArrayView(server).sliced(at, std::min(piece, server.size() - at)));
    if (wholeData != pieceData || whole.takeOutput() != pieces.takeOutput() || whole.ready() != pieces.ready()
        || whole.failure() != pieces.failure() || whole.baud() != pieces.baud())
        std::abort();
    if (whole.ready() && !whole.failure().isEmpty())
        std::abort();
    if (!server.contains('\xff') && wholeData != server)
        std::abort();
    wire::Rfc2217Codec fresh;
    if (fresh.receive(wire::Rfc2217Codec::escape(server)) != server)
        std::abort();
    return 0;
}
