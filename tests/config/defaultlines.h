#pragma once

#include <QByteArrayList>

namespace testing {

// The command lines a run sends with the start-up defaults, in order, written
// out from the controller's command set (not derived from the builder).
inline QByteArrayList defaultConfigLines()
{
    const auto z = [](int n) { return QByteArray(n, '0'); };
    // clang-format off
    return {
        "X0014N4N", "X005301000", "X00726020801016000000", "X008030500", "X009" + z(25),
        "X010" + z(17), "X011" + z(6), "X012" + z(25), "X013" + z(17), "X014" + z(6),
        "X015" + z(25), "X016" + z(10), "X017" + z(27), "X018" + z(27), "X029125000500000",
        "X030000000100004", "X031" + z(15), "X032" + z(15), "X03300000100004", "X034" + z(15),
        "X035" + z(15), "X036000100004", "X037" + z(15), "X038" + z(15), "X0390000000100004",
        "X040" + z(15), "X041" + z(15), "X04200000100004", "X043" + z(15), "X044" + z(15),
        "X0450001004", "X046" + z(15), "X047" + z(15), "X0480001004", "X049" + z(15),
        "X050" + z(15), "X051000100004", "X052" + z(15), "X053" + z(15), "X054000000",
        "X0550000", "X0560200", "X0570", "X0580", "X0590", "|4", "\"05", ":1", "r0", "E3",
    };
    // clang-format on
}

} // namespace testing
