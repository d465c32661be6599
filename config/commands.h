#pragma once

#include "config/settings.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace config {

// Payload encodings. Texts are taken as the screen holds them.
QByteArray flag(bool ticked);        // "1" / "0"
QByteArray d2(const QString &text);  // last two of "0" + text
QByteArray d2z(const QString &text); // last two of "00" + text
QByteArray d3(const QString &text);  // last three of "00" + text

// One builder per command or family; each reads only the settings it is given.
QByteArray buildX001(const Settings &s);                     // converter ports
QByteArray buildX005(const Settings &s);                     // reader type and options
QByteArray buildBitFormat(const Settings &s, int format);    // X007, X010, X013
QByteArray buildOutputWidths(const Settings &s, int format); // X008, X011, X014
QByteArray buildWiegandMask(const Settings &s, int set);     // X009, X012, X015 (set 0..2)
QByteArray buildX016(const Settings &s);                     // magstripe
QByteArray buildBarcodeMask(const Settings &s, int set);     // X017, X018 (set 0..1)
QByteArray buildX029(const Settings &s);                     // speaker
QByteArray buildSymbology(const Settings &s, int row);       // X030 ... X051
QByteArray buildPrefix(const Settings &s, int row);
QByteArray buildSuffix(const Settings &s, int row);
QByteArray buildX054(const Settings &s); // relay and door
QByteArray buildX055(const Settings &s); // LED times
QByteArray buildX056(const Settings &s); // barcode timeout, priority
QByteArray buildX057(const Settings &s); // first person in
QByteArray buildX058(const Settings &s); // PDI
// Programming levels 0 ("X0590") to 3 ("X0594"); no value when not sent.
std::optional<QByteArray> buildLevel(const Settings &s, int level);
// Stand-alone commands 1 to 6; no value when not sent (the ID size only when
// the operator accepted a change).
std::optional<QByteArray> buildStandAlone(const Settings &s, int n, bool idSizeChange);

enum class PaneId { Picture1, Picture2 };

// One step of the run after the handshake: its pane, its error text and its
// builder (given the settings the run's check approved).
struct CommandStep {
    PaneId pane;
    QString errorText;
    std::function<std::optional<QByteArray>(const Settings &, bool idSizeChange)> build;
};

// "X001" ... "X058", the programming levels, the stand-alone commands.
const std::vector<CommandStep> &commandSequence();

} // namespace config
