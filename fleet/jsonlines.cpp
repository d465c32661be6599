#include "fleet/jsonlines.h"

namespace fleet {

QList<QByteArray> takeLines(QByteArray &buffer, const QByteArray &more)
{
    buffer += more;
    const qsizetype end = buffer.lastIndexOf('\n');
    if (end < 0)
        return {};
    QList<QByteArray> lines = buffer.left(end).split('\n');
    buffer.remove(0, end + 1);
    return lines;
}

} // namespace fleet
