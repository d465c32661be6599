#include "journal/journal.h"

#include "journal/place.h"
#include "journal/secret.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QMessageAuthenticationCode>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace journal {

namespace {
// Long enough for a fleet's runner to commit its record, short enough that a
// journal held by a hung process does not hold up the work for long.
constexpr int kBusyTimeoutMs = 10000;

// The schema a journal has is its user_version; migration n brings a
// journal of version n to n + 1.
const std::vector<QStringList> kMigrations = {
    {QStringLiteral("CREATE TABLE records ("
                    "seq INTEGER PRIMARY KEY, kind TEXT NOT NULL, operation_id TEXT NOT NULL, run TEXT NOT NULL,"
                    " attempt INTEGER NOT NULL, started TEXT NOT NULL, ended TEXT NOT NULL, operator TEXT NOT NULL,"
                    " version TEXT NOT NULL, controller TEXT NOT NULL, link TEXT NOT NULL, operation TEXT NOT NULL,"
                    " options TEXT NOT NULL, files TEXT NOT NULL, outcome TEXT NOT NULL, exit INTEGER,"
                    " message TEXT NOT NULL, results TEXT NOT NULL, prev TEXT NOT NULL, hash TEXT NOT NULL)"),
     QStringLiteral("CREATE INDEX records_operation ON records (operation_id, kind)")},
};
const auto kSchema = static_cast<int>(kMigrations.size());

// In the order of recordAt() and valuesOf().
const QStringList kColumns = {"seq",      "kind",    "operation_id", "run",     "attempt",   "started", "ended",
                              "operator", "version", "controller",   "link",    "operation", "options", "files",
                              "outcome",  "exit",    "message",      "results", "prev",      "hash"};

// Qt binds a QString that was never set as NULL: text goes in as '' all the
// same; only a started record's exit status stays NULL.
QString insertStatement()
{
    QStringList values;
    for (const QString &column : kColumns)
        values << (column == QLatin1String("seq") || column == QLatin1String("attempt")
                           || column == QLatin1String("exit")
                       ? QStringLiteral("?")
                       : QStringLiteral("coalesce(?, '')"));
    return QStringLiteral("INSERT INTO records (%1) VALUES (%2)")
        .arg(kColumns.join(QStringLiteral(", ")), values.join(QStringLiteral(", ")));
}

std::atomic<int> connections{0};

QString compact(const QJsonDocument &document) { return QString::fromUtf8(document.toJson(QJsonDocument::Compact)); }

Record recordAt(const QSqlQuery &q)
{
    Record r;
    r.seq = q.value(0).toLongLong();
    r.kind = q.value(1).toString();
    r.operationId = q.value(2).toString();
    r.run = q.value(3).toString();
    r.attempt = q.value(4).toInt();
    r.started = q.value(5).toString();
    r.ended = q.value(6).toString();
    r.operatorName = q.value(7).toString();
    r.version = q.value(8).toString();
    r.controller = q.value(9).toString();
    r.link = q.value(10).toString();
    r.operation = q.value(11).toString();
    r.options = QJsonDocument::fromJson(q.value(12).toString().toUtf8()).array();
    r.files = QJsonDocument::fromJson(q.value(13).toString().toUtf8()).array();
    r.outcome = q.value(14).toString();
    if (!q.value(15).isNull())
        r.exitStatus = q.value(15).toInt();
    r.message = q.value(16).toString();
    r.results = QJsonDocument::fromJson(q.value(17).toString().toUtf8()).object();
    r.prev = q.value(18).toString();
    r.hash = q.value(19).toString();
    return r;
}

QVariantList valuesOf(const Record &r)
{
    return {r.seq,
            r.kind,
            r.operationId,
            r.run,
            r.attempt,
            r.started,
            r.ended,
            r.operatorName,
            r.version,
            r.controller,
            r.link,
            r.operation,
            compact(QJsonDocument(r.options)),
            compact(QJsonDocument(r.files)),
            r.outcome,
            r.exitStatus ? QVariant(*r.exitStatus) : QVariant(QMetaType(QMetaType::Int)),
            r.message,
            compact(QJsonDocument(r.results)),
            r.prev,
            r.hash};
}

// Made with mode 0600 before SQLite opens it (SQLite would make it 0644);
// its write-ahead log and index take the same mode.
QString createFile(const QString &path)
{
    if (QFileInfo(path).isDir())
        return QStringLiteral("%1 is a folder").arg(path);
    QDir().mkpath(QFileInfo(path).absolutePath());
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return QStringLiteral("cannot write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    ::close(fd);
    return {};
}
} // namespace

Journal::Journal(QString path, QString connection) : m_path(std::move(path)), m_connection(std::move(connection)) {}

Journal::~Journal()
{
    m_statements.reset();
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

std::unique_ptr<Journal> Journal::open(const QString &path, Access access, QString *error)
{
    if (access == Access::Write) {
        *error = createFile(path);
        if (!error->isEmpty())
            return nullptr;
    } else if (!QFileInfo(path).isFile()) {
        *error = QStringLiteral("no journal at %1").arg(path);
        return nullptr;
    }
    std::unique_ptr<Journal> journal(new Journal(path, QStringLiteral("journal-%1").arg(++connections)));
    if (!journal->prepare(access, error))
        return nullptr;
    return journal;
}

QString Journal::failure(const QString &what) const { return QStringLiteral("journal %1: %2").arg(m_path, what); }

bool Journal::prepare(Access access, QString *error)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1%2")
                             .arg(kBusyTimeoutMs)
                             .arg(access == Access::Read ? QStringLiteral(";QSQLITE_OPEN_READONLY") : QString()));
    if (!db.open()) {
        *error = failure(db.lastError().text());
        return false;
    }
    QSqlQuery q(db);
    if (access == Access::Read) {
        if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
            *error = failure(q.lastError().text());
            return false;
        }
        m_newer = q.value(0).toInt() > kSchema;
        return true;
    }
    if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !q.next() || q.value(0).toString() != QLatin1String("wal")
        || !q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"))) {
        *error = failure(q.lastError().text());
        return false;
    }
    if (!migrate(error))
        return false;
    const std::optional<QByteArray> key = loadKey(keyPath(m_path), error);
    if (!key)
        return false;
    m_key = *key;
    return true;
}

bool Journal::migrate(QString *error)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        *error = failure(q.lastError().text());
        return false;
    }
    auto rollback = qScopeGuard([&db] { QSqlQuery(db).exec(QStringLiteral("ROLLBACK")); });
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
        *error = failure(q.lastError().text());
        return false;
    }
    const int version = q.value(0).toInt();
    q.finish();
    if (version > kSchema) {
        *error = failure(QStringLiteral("written by a newer version of this program (journal schema %1; this one "
                                        "knows up to %2): it is not written to")
                             .arg(version)
                             .arg(kSchema));
        return false;
    }
    for (int v = version; v < kSchema; ++v) {
        for (const QString &statement : kMigrations[static_cast<std::size_t>(v)]) {
            if (!q.exec(statement)) {
                *error = failure(q.lastError().text());
                return false;
            }
        }
    }
    if (!q.exec(QStringLiteral("PRAGMA user_version = %1").arg(kSchema)) || !q.exec(QStringLiteral("COMMIT"))) {
        *error = failure(q.lastError().text());
        return false;
    }
    rollback.dismiss();
    return true;
}

struct Journal::Statements {
    explicit Statements(const QSqlDatabase &db) : begin(db), newest(db), insert(db), commit(db), rollback(db) {}
    // The write lock first: a plain BEGIN would let another writer read the
    // same newest record and chain to it too.
    bool prepare()
    {
        return begin.prepare(QStringLiteral("BEGIN IMMEDIATE"))
            && newest.prepare(QStringLiteral("SELECT seq, hash FROM records ORDER BY seq DESC LIMIT 1"))
            && insert.prepare(insertStatement()) && commit.prepare(QStringLiteral("COMMIT"))
            && rollback.prepare(QStringLiteral("ROLLBACK"));
    }
    QSqlQuery begin, newest, insert, commit, rollback;
};

bool Journal::append(Record &record, QString *error)
{
    if (!m_statements) {
        auto statements = std::make_unique<Statements>(QSqlDatabase::database(m_connection, false));
        if (!statements->prepare()) {
            *error = failure(QSqlDatabase::database(m_connection, false).lastError().text());
            return false;
        }
        m_statements = std::move(statements);
    }
    Statements &s = *m_statements;
    const auto failed = [&](const QSqlQuery &q) {
        *error = failure(q.lastError().text());
        s.newest.finish();
        s.rollback.exec();
        return false;
    };
    if (!s.begin.exec())
        return failed(s.begin);
    if (!s.newest.exec())
        return failed(s.newest);
    const bool first = !s.newest.next();
    record.seq = first ? 1 : s.newest.value(0).toLongLong() + 1;
    record.prev = first ? kGenesis : s.newest.value(1).toString();
    s.newest.finish();
    record.hash = contentHash(record);
    const QVariantList values = valuesOf(record);
    for (qsizetype i = 0; i < values.size(); ++i)
        s.insert.bindValue(static_cast<int>(i), values.at(i));
    if (!s.insert.exec() || !s.commit.exec())
        return failed(s.insert.lastError().isValid() ? s.insert : s.commit);
    return true;
}

QString Journal::keyedHash(QIODevice &data) const
{
    if (m_key.isEmpty())
        return {};
    QMessageAuthenticationCode code(QCryptographicHash::Sha256, m_key);
    return code.addData(&data) ? QString::fromLatin1(code.result().toHex()) : QString();
}

std::vector<Record> Journal::select(const QString &where, const QVariantList &values, int last, QString *error) const
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    const QString order =
        last > 0 ? QStringLiteral(" ORDER BY seq DESC LIMIT %1").arg(last) : QStringLiteral(" ORDER BY seq");
    q.prepare(QStringLiteral("SELECT %1 FROM records").arg(kColumns.join(QStringLiteral(", "))) + where + order);
    for (const QVariant &value : values)
        q.addBindValue(value);
    std::vector<Record> found;
    if (!q.exec()) {
        // A journal made but never written has no table yet.
        if (!q.lastError().text().contains(QLatin1String("no such table")))
            *error = failure(q.lastError().text());
        return found;
    }
    while (q.next())
        found.push_back(recordAt(q));
    if (last > 0)
        std::reverse(found.begin(), found.end());
    return found;
}

std::vector<Record> Journal::records(QString *error) const { return select({}, {}, 0, error); }

std::vector<Record> Journal::operations(const Filter &filter, QString *error) const
{
    QStringList where{QStringLiteral("(kind = 'ended' OR NOT EXISTS (SELECT 1 FROM records e WHERE "
                                     "e.operation_id = records.operation_id AND e.kind = 'ended'))")};
    QVariantList values;
    const auto add = [&](bool wanted, const char *condition, const QVariantList &these) {
        if (!wanted)
            return;
        where << QString::fromLatin1(condition);
        values << these;
    };
    const auto utc = [](const QDateTime &t) { return t.toUTC().toString(Qt::ISODateWithMs); };
    add(!filter.controller.isEmpty(), "controller = ?", {filter.controller});
    add(!filter.link.isEmpty(), "link = ?", {filter.link});
    add(!filter.operation.isEmpty(), "(operation = ? OR substr(operation, 1, length(?) + 1) = ? || ' ')",
        {filter.operation, filter.operation, filter.operation});
    if (!filter.operations.isEmpty()) {
        where << QStringLiteral("operation IN (%1)")
                     .arg(QStringList(filter.operations.size(), QStringLiteral("?")).join(QLatin1Char(',')));
        for (const QString &operation : filter.operations)
            values << operation;
    }
    add(!filter.run.isEmpty(), "run = ?", {filter.run});
    add(filter.since.isValid(), "started >= ?", {utc(filter.since)});
    add(filter.until.isValid(), "started < ?", {utc(filter.until)});
    add(filter.failed, "outcome <> 'ok'", {});
    return select(QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND ")), values, filter.last, error);
}

} // namespace journal
