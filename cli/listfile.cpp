#include "cli/listfile.h"

#include "core/inputfile.h"
#include "journal/secret.h"
#include "utilities/formats.h"

#include <QFileInfo>

namespace cli {

std::optional<QByteArrayList> readFileLines(Context &c, const QString &path, const core::InputKind &kind)
{
    QString why;
    const std::optional<QByteArray> data = core::readInputFile(path, kind, &why, c.link.waiter().readWait());
    if (!data) {
        c.out.failure(QStringLiteral("cannot read %1: %2").arg(path, why));
        return std::nullopt;
    }
    return utilities::splitFileLines(*data);
}

std::optional<QByteArray> hashKey(Context &c, bool *failed)
{
    *failed = false;
    const auto path = c.args.value(QStringLiteral("--hash-key"));
    if (!path)
        return std::nullopt;
    QString why;
    // Only an existing key is read: a missing one is not made here.
    auto key = QFileInfo::exists(*path) ? journal::loadKey(*path, &why) : std::nullopt;
    if (!key) {
        c.out.failure(why.isEmpty() ? QStringLiteral("no key %1").arg(*path) : why);
        *failed = true;
    }
    return key;
}

} // namespace cli
