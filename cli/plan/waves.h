#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace cli::plan {

// A number of controllers, or a share of them ("10%").
struct Amount {
    int value = 0;
    bool percent = false;
};

// "3" (from 1) or "10%" (1 to 100); nothing for anything else.
std::optional<Amount> parseAmount(const QString &text);
// "1,10%,100%": a wave a comma.
std::optional<QList<Amount>> parseWaves(const QString &text);

// Where each wave ends among `pending` controllers, counted from the first:
// waves are cumulative ("1,10%,100%": one, then up to 10 % in all, then the
// rest), a share rounds down but a wave holds one controller at least, and
// a wave that adds none is left out. Controllers past the last end are
// left for a later run.
QList<int> waveEnds(const QList<Amount> &waves, int pending);

// Whether failures stop new starts: once `limit` controllers failed, or
// with a share, once that share of at least ten attempted failed.
bool failureLimitReached(const Amount &limit, int failed, int attempted);

} // namespace cli::plan
