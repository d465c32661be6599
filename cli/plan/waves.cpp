#include "cli/plan/waves.h"

#include <QStringList>

#include <algorithm>

namespace cli::plan {

namespace {
// A share of fewer controllers says little.
constexpr int kShareFrom = 10;
constexpr int kAll = 100;
} // namespace

std::optional<Amount> parseAmount(const QString &text)
{
    Amount a;
    a.percent = text.endsWith(QLatin1Char('%'));
    const QString digits = a.percent ? text.chopped(1) : text;
    if (digits.isEmpty() || !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c.isDigit(); }))
        return std::nullopt;
    bool ok = false;
    a.value = digits.toInt(&ok);
    if (!ok || a.value < 1 || (a.percent && a.value > kAll))
        return std::nullopt;
    return a;
}

std::optional<QList<Amount>> parseWaves(const QString &text)
{
    QList<Amount> waves;
    for (const QString &part : text.split(QLatin1Char(','))) {
        const auto amount = parseAmount(part);
        if (!amount)
            return std::nullopt;
        waves << *amount;
    }
    return waves;
}

QList<int> waveEnds(const QList<Amount> &waves, int pending)
{
    QList<int> ends;
    int last = 0;
    for (const Amount &a : waves) {
        const qint64 wanted = a.percent ? qint64{pending} * a.value / kAll : a.value;
        const int end = static_cast<int>(std::min<qint64>(pending, std::max<qint64>({wanted, 1, last})));
        if (end > last)
            ends << end;
        last = end;
    }
    return ends;
}

bool failureLimitReached(const Amount &limit, int failed, int attempted)
{
    if (!limit.percent)
        return failed >= limit.value;
    return attempted >= kShareFrom && qint64{failed} * kAll >= qint64{limit.value} * attempted;
}

} // namespace cli::plan
