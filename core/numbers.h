#pragma once

#include <QString>

namespace core {

// A number written with one blank before the digits of a non-negative value
// (the place a minus sign would take), as every count, stage and port number
// in the status texts is shown.
QString signReserving(qint64 value);

// Decimal conversion of a digits field: an empty (or blank) text is 0.
// Text that is not a whole number gives std::nullopt through ok == false.
qint64 fieldNumber(const QString &text, bool *ok = nullptr);

} // namespace core
