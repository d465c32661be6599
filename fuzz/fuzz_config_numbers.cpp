// The number conversions of the configuration programmer: the ID-size reply
// and typed fields. Blanks anywhere must not change the number read, and a
// plain decimal in the 16-bit range must come back as itself.
#include "config/program.h"
#include "config/settingtable.h"
#include "core/numbers.h"
#include "fuzz/fuzzinput.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    const int number = static_cast<qint16>(in.word());
    const QByteArray reply = in.rest();

    const auto value = config::leadingNumber16(reply);
    QByteArray spaced = " \t" + reply;
    spaced.insert(spaced.size() / 2, '\n');
    if (config::leadingNumber16(spaced) != value)
        std::abort();
    if (config::leadingNumber16(QByteArray::number(number) + 'X' + reply) != number)
        std::abort();

    const QString text = QString::fromLatin1(reply);
    bool ok = false;
    (void)core::fieldNumber(text, &ok);
    if (const auto entries = config::availableEntries(text)) {
        if (entries->adHoc < 0 || entries->sorted < 0 || entries->log < 0)
            std::abort();
        (void)config::entriesText(entries->adHoc);
    }
    (void)core::signReserving(number);
    return 0;
}
