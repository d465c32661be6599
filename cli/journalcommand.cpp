#include "cli/journalcommand.h"

#include "cli/context.h"
#include "cli/recording.h"
#include "journal/chain.h"
#include "journal/journal.h"
#include "journal/place.h"
#include "journal/summary.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSaveFile>

#include <cstdio>
#include <functional>

namespace cli {

namespace {
using journal::Journal;
using journal::Record;

void print(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

int usage(const QString &text)
{
    StdoutSinks::error(QStringLiteral("journal: ") + text);
    return kExitUsage;
}

// What read finds in the journal, or nothing after saying why. A journal a
// newer version wrote is read as far as this version knows it, unless its
// hashes are to be checked: they cover fields this version cannot see.
std::optional<std::vector<Record>>
readJournal(const LinkOptions &options, const std::function<std::vector<Record>(const Journal &, QString *)> &read,
            bool checkingHashes = false)
{
    QString error;
    const auto opened = Journal::open(journal::place(options.journal).path, Journal::Access::Read, &error);
    if (opened && checkingHashes && opened->newer())
        error = QStringLiteral("journal %1: written by a newer version of this program; verify it with that version")
                    .arg(opened->path());
    std::vector<Record> records = error.isEmpty() ? read(*opened, &error) : std::vector<Record>{};
    if (!error.isEmpty()) {
        StdoutSinks::error(error);
        return std::nullopt;
    }
    return records;
}

std::vector<Record> wholeChain(const Journal &journal, QString *error) { return journal.records(error); }

// What a controller answered may hold control characters: on a terminal they
// would move the cursor or recolour the screen.
QString printable(QString text)
{
    for (QChar &c : text)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char('?');
    return text;
}

// Quoted, and a cell a spreadsheet would take for a formula kept as text.
QString csvCell(const QString &text)
{
    QString cell = printable(text);
    if (!cell.isEmpty() && QStringLiteral("=+-@").contains(cell.front()))
        cell.prepend(QLatin1Char('\''));
    return QLatin1Char('"') + cell.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

QString outcomeShown(const Record &r) { return r.kind == journal::kStarted ? QStringLiteral("unfinished") : r.outcome; }

QString timeShown(const QString &utc) { return utc.left(19) + (utc.isEmpty() ? QString() : QStringLiteral("Z")); }

void printTable(const std::vector<Record> &records)
{
    QList<QStringList> rows{{"time", "operator", "controller", "operation", "outcome", "result"}};
    for (const Record &r : records)
        rows << QStringList{timeShown(r.started), r.operatorName,  r.controller,
                            r.operation,          outcomeShown(r), printable(journal::mainResult(r))};
    QList<qsizetype> widths(rows.front().size() - 1, 0);
    for (const QStringList &row : rows)
        for (qsizetype i = 0; i < widths.size(); ++i)
            widths[i] = std::max(widths[i], row.at(i).size());
    for (const QStringList &row : rows) {
        QString line;
        for (qsizetype i = 0; i < widths.size(); ++i)
            line += row.at(i).leftJustified(widths[i] + 2);
        print(printable(line + row.constLast()).trimmed());
    }
}

void printCsv(const std::vector<Record> &records)
{
    print(QStringLiteral("started,ended,operator,controller,link,operation,options,outcome,exit,result,run,seq"));
    for (const Record &r : records) {
        QStringList options;
        for (const auto &o : r.options)
            options << o.toString();
        QStringList cells;
        for (const QString &text : {r.started, r.ended, r.operatorName, r.controller, r.link, r.operation,
                                    options.join(QLatin1Char(' ')), outcomeShown(r)})
            cells << csvCell(text);
        cells << (r.exitStatus ? QString::number(r.exitStatus.value_or(0)) : QString())
              << csvCell(journal::mainResult(r)) << csvCell(r.run) << QString::number(r.seq);
        print(cells.join(QLatin1Char(',')));
    }
}

// YYYY-MM-DD (until: the whole day), or an ISO 8601 time; local time unless
// a zone is given.
std::optional<QDateTime> parseDate(const QString &text, bool until)
{
    const QDate day = QDate::fromString(text, Qt::ISODate);
    if (day.isValid())
        return QDateTime(until ? day.addDays(1) : day, QTime(0, 0));
    QString iso = text;
    const QDateTime at = QDateTime::fromString(iso.replace(QLatin1Char(' '), QLatin1Char('T')), Qt::ISODateWithMs);
    return at.isValid() ? std::optional(at) : std::nullopt;
}

// An endpoint as the journal prints it: tcp:HOST gets its default port.
QString printedEndpoint(const QString &text)
{
    const auto endpoint = wire::Endpoint::parse(text);
    return endpoint ? endpoint->toString() : text;
}

int list(const LinkOptions &options)
{
    journal::Filter filter;
    bool json = options.json;
    bool csv = false;
    const QStringList &a = options.args;
    const QStringList valued{"--controller", "--link", "--operation", "--run", "--since", "--until", "--last"};
    for (qsizetype i = 0; i < a.size(); ++i) {
        const QString &opt = a.at(i);
        if (opt == QLatin1String("--failed") || opt == QLatin1String("--json") || opt == QLatin1String("--csv")) {
            (opt == QLatin1String("--failed") ? filter.failed : opt == QLatin1String("--json") ? json : csv) = true;
            continue;
        }
        if (!valued.contains(opt))
            return usage(QStringLiteral("unknown option %1").arg(opt));
        if (i + 1 >= a.size())
            return usage(QStringLiteral("%1 needs a value").arg(opt));
        const QString &value = a.at(++i);
        if (opt == QLatin1String("--since") || opt == QLatin1String("--until")) {
            const bool until = opt == QLatin1String("--until");
            const auto at = parseDate(value, until);
            if (!at)
                return usage(QStringLiteral("%1 takes YYYY-MM-DD or an ISO 8601 time").arg(opt));
            (until ? filter.until : filter.since) = *at;
        } else if (opt == QLatin1String("--last")) {
            bool ok = false;
            filter.last = value.toInt(&ok);
            if (!ok || filter.last < 1)
                return usage(QStringLiteral("--last takes a whole number from 1"));
        } else {
            QString &field = opt == QLatin1String("--controller") ? filter.controller
                : opt == QLatin1String("--link")                  ? filter.link
                : opt == QLatin1String("--operation")             ? filter.operation
                                                                  : filter.run;
            field = opt == QLatin1String("--link") ? printedEndpoint(value) : value;
        }
    }
    if (json && csv)
        return usage(QStringLiteral("give --json or --csv, not both"));
    const auto records =
        readJournal(options, [&filter](const Journal &j, QString *error) { return j.operations(filter, error); });
    if (!records)
        return kExitUsage;
    if (json) {
        for (const Record &r : *records)
            print(QString::fromUtf8(QJsonDocument(r.toJson()).toJson(QJsonDocument::Compact)));
    } else if (csv) {
        printCsv(*records);
    } else {
        printTable(*records);
    }
    return kExitOk;
}

int verify(const LinkOptions &options)
{
    const QStringList a = options.args.mid(1);
    QString head;
    if (a.size() == 2 && a.at(0) == QLatin1String("--head"))
        head = a.at(1).toLower();
    if ((!a.isEmpty() && head.isEmpty())
        || !QRegularExpression(QStringLiteral("^([0-9a-f]{64})?$")).match(head).hasMatch())
        return usage(QStringLiteral("verify takes --head HASH (64 hexadecimal digits) or nothing"));
    const auto records = readJournal(options, &wholeChain, true);
    if (!records)
        return kExitUsage;
    const journal::Verdict verdict = journal::verifyChain(*records, head);
    print(verdict.problem.isEmpty() ? QStringLiteral("%1 records, chain intact").arg(verdict.records)
                                    : verdict.problem);
    print(QStringLiteral("head: ") + verdict.head);
    return verdict.problem.isEmpty() ? kExitOk : kExitFailure;
}

// Without user and host names: no operator, and files named without their
// folders (a home folder names its user).
QJsonObject anonymous(QJsonObject record)
{
    record.remove(QStringLiteral("operator"));
    QJsonArray files = record.value(QLatin1String("files")).toArray();
    for (QJsonValueRef f : files) {
        QJsonObject file = f.toObject();
        file.insert(QStringLiteral("path"), QFileInfo(file.value(QLatin1String("path")).toString()).fileName());
        f = file;
    }
    record.insert(QStringLiteral("files"), files);
    QJsonArray options = record.value(QLatin1String("options")).toArray();
    for (QJsonValueRef o : options)
        if (o.toString().contains(QLatin1Char('/')))
            o = QFileInfo(o.toString()).fileName();
    record.insert(QStringLiteral("options"), options);
    return record;
}

int exportTo(const LinkOptions &options)
{
    const QStringList a = options.args.mid(1);
    const bool anonymise = a.size() == 2 && a.at(1) == QLatin1String("--anonymous");
    if (a.isEmpty() || a.at(0).startsWith(QLatin1String("--")) || (a.size() > 1 && !anonymise))
        return usage(QStringLiteral("export takes FILE [--anonymous]"));
    const auto found = readJournal(options, &wholeChain);
    if (!found)
        return kExitUsage;
    const std::vector<Record> &records = *found;
    // Whole or not at all: the old file stays until the new one is complete.
    QSaveFile file(a.at(0));
    bool written = file.open(QIODevice::WriteOnly);
    for (std::size_t i = 0; written && i < records.size(); ++i) {
        const QJsonObject record = anonymise ? anonymous(records[i].toJson()) : records[i].toJson();
        const QByteArray line = QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n';
        written = file.write(line) == line.size();
    }
    if (!written || !file.commit()) {
        StdoutSinks::error(QStringLiteral("cannot write %1: %2").arg(a.at(0), file.errorString()));
        return kExitFailure;
    }
    print(QStringLiteral("%1 records written to %2").arg(records.size()).arg(a.at(0)));
    print(QStringLiteral("head: ") + (records.empty() ? journal::kGenesis : records.back().hash));
    return kExitOk;
}
} // namespace

int runJournal(const LinkOptions &options)
{
    const QString sub = options.args.value(0);
    if (sub == QLatin1String("verify"))
        return verify(options);
    if (sub == QLatin1String("export"))
        return exportTo(options);
    return list(options);
}

} // namespace cli
