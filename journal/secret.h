#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace journal {

// The secret of the journal's keyed hashes of access lists and schedules:
// equal lists can be recognised, but a short list's IDs cannot be recovered
// by hashing every possible ID. Random bytes in a file only its owner may
// read, made on first use; two processes making it at once agree on one,
// since the file appears whole or not at all. Why not, in error.
std::optional<QByteArray> loadKey(const QString &path, QString *error);

// The keyed hash (hex) of data under key.
QString keyedHash(const QByteArray &key, const QByteArray &data);

} // namespace journal
