#pragma once

#include <QTest>

namespace testing {

// Data rows "pty" and "tcp" in a bool column "tcp".
inline void transportRows()
{
    QTest::addColumn<bool>("tcp");
    QTest::newRow("pty") << false;
    QTest::newRow("tcp") << true;
}

} // namespace testing
