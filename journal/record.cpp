#include "journal/record.h"

#include <QCryptographicHash>
#include <QJsonDocument>

namespace journal {

QString outcomeName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Ok:
        return QStringLiteral("ok");
    case Outcome::Failed:
        return QStringLiteral("failed");
    case Outcome::Interrupted:
        return QStringLiteral("interrupted");
    case Outcome::LinkNotOpened:
        return QStringLiteral("link not opened");
    }
    return {};
}

QJsonObject Record::toJson() const
{
    return QJsonObject{{QStringLiteral("seq"), seq},
                       {QStringLiteral("kind"), kind},
                       {QStringLiteral("operation_id"), operationId},
                       {QStringLiteral("run"), run},
                       {QStringLiteral("attempt"), attempt},
                       {QStringLiteral("started"), started},
                       {QStringLiteral("ended"), ended},
                       {QStringLiteral("operator"), operatorName},
                       {QStringLiteral("version"), version},
                       {QStringLiteral("controller"), controller},
                       {QStringLiteral("link"), link},
                       {QStringLiteral("operation"), operation},
                       {QStringLiteral("options"), options},
                       {QStringLiteral("files"), files},
                       {QStringLiteral("outcome"), outcome},
                       {QStringLiteral("exit"), exitStatus ? QJsonValue(*exitStatus) : QJsonValue()},
                       {QStringLiteral("message"), message},
                       {QStringLiteral("results"), results},
                       {QStringLiteral("prev"), prev},
                       {QStringLiteral("hash"), hash}};
}

QByteArray canonicalContent(const Record &record)
{
    QJsonObject o = record.toJson();
    o.remove(QStringLiteral("hash"));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QString contentHash(const Record &record)
{
    return QString::fromLatin1(QCryptographicHash::hash(canonicalContent(record), QCryptographicHash::Sha256).toHex());
}

} // namespace journal
