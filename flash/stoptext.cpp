#include "flash/stoptext.h"

namespace flash {

namespace {
constexpr qsizetype kAnswerShown = 8;

// What came instead of the acknowledgement: printable bytes as themselves,
// others as \xHH, quoted.
QString answerText(const QByteArray &answer)
{
    QString text;
    for (const char c : answer.left(kAnswerShown)) {
        const auto byte = static_cast<uchar>(c);
        text += byte >= 0x20 && byte < 0x7f
            ? QString(QLatin1Char(c))
            : QStringLiteral("\\x") + QString::number(byte, 16).toUpper().rightJustified(2, QLatin1Char('0'));
    }
    if (answer.size() > kAnswerShown)
        text += QStringLiteral("\u2026");
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString seconds(Ms waited) { return QString::number(std::chrono::duration_cast<std::chrono::seconds>(waited).count()); }
} // namespace

QString stopText(const Result &r)
{
    const QString block = QStringLiteral("block %1 of %2").arg(r.block).arg(r.blocks);
    const bool start = r.stage == StageStart;
    const bool atEnd = r.stage == StageFinal;
    switch (r.cause) {
    case Cause::LinkLost:
        return start ? QStringLiteral("link lost before the first block")
            : atEnd  ? QStringLiteral("link lost after the last block")
                     : QStringLiteral("link lost at ") + block;
    case Cause::NoAnswer:
        return (start       ? QStringLiteral("no start reply")
                    : atEnd ? QStringLiteral("no final acknowledgement")
                            : QStringLiteral("no acknowledgement for block %1").arg(r.block))
            + QStringLiteral(" within %1 s").arg(seconds(r.waited));
    case Cause::WrongAnswer:
        return start ? QStringLiteral("no proper start reply")
                     : QStringLiteral("wrong answer %1 to %2")
                           .arg(answerText(r.answer), atEnd ? QStringLiteral("the end of the download") : block);
    case Cause::None:
        break;
    }
    return {};
}

QJsonObject stopJson(const Result &result)
{
    if (result.outcome == Outcome::Complete)
        return {};
    QJsonObject o{{QStringLiteral("boot_code"), result.inBootCode}};
    if (const QString stopped = stopText(result); !stopped.isEmpty())
        o.insert(QStringLiteral("stopped"), stopped);
    return o;
}

} // namespace flash
