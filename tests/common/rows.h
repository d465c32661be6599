#pragma once

#include <QTest>

namespace testing {

// A data table of one bool column: the row named whenFalse, then whenTrue.
inline void boolRows(const char *column, const char *whenFalse, const char *whenTrue)
{
    QTest::addColumn<bool>(column);
    QTest::newRow(whenFalse) << false;
    QTest::newRow(whenTrue) << true;
}

} // namespace testing

// A data column's value inside an expression (QFETCH declares a variable).
// NOLINTNEXTLINE(bugprone-macro-parentheses): Type is a type name, which cannot stand in parentheses
#define FETCHED(Type, name) (*static_cast<Type *>(QTest::qData(#name, ::qMetaTypeId<Type>())))
