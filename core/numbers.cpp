#include "core/numbers.h"

namespace core {

QString signReserving(qint64 value)
{
    return value < 0 ? QString::number(value) : QStringLiteral(" ") + QString::number(value);
}

qint64 fieldNumber(const QString &text, bool *ok)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        if (ok)
            *ok = true;
        return 0;
    }
    bool good = false;
    const qint64 v = t.toLongLong(&good);
    if (ok)
        *ok = good;
    return good ? v : 0;
}

} // namespace core
