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
