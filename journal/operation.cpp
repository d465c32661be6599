#include "journal/operation.h"

#include "core/inputfile.h"
#include "journal/journal.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QUuid>

#include <pwd.h>
#include <unistd.h>

namespace journal {

namespace {
QString now() { return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs); }

QString operatorName()
{
    const passwd *user = ::getpwuid(::geteuid());
    const QString name = user ? QString::fromLocal8Bit(user->pw_name) : qEnvironmentVariable("USER");
    return name + QLatin1Char('@') + QSysInfo::machineHostName();
}

QString roleName(File::Role role)
{
    switch (role) {
    case File::Role::Image:
        return QStringLiteral("image");
    case File::Role::Profile:
        return QStringLiteral("profile");
    case File::Role::AccessList:
        return QStringLiteral("access list");
    case File::Role::Schedules:
        return QStringLiteral("schedules");
    }
    return {};
}
} // namespace

Operation::Operation(Journal *journal, const Begin &begin, Warn warn)
    : m_journal(journal), m_files(begin.files), m_warn(std::move(warn))
{
    if (!m_journal)
        return;
    m_record.kind = kStarted;
    m_record.operationId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    m_record.run = begin.run;
    m_record.attempt = begin.attempt;
    m_record.started = now();
    m_record.operatorName = operatorName();
    m_record.version = QStringLiteral(TARNIC_VERSION);
    m_record.controller = begin.controller;
    m_record.link = begin.link;
    m_record.operation = begin.operation;
    m_record.options = QJsonArray::fromStringList(begin.options);
    for (const File &file : m_files)
        m_record.files.append(describe(file, !file.written));
    write(m_record);
}

void Operation::end(const End &end)
{
    if (!m_journal)
        return;
    Record ended = m_record;
    ended.kind = kEnded;
    ended.ended = now();
    ended.outcome = outcomeName(end.outcome);
    ended.exitStatus = end.exitStatus;
    ended.message = end.outcome == Outcome::Ok ? QString() : end.message;
    ended.results = end.results;
    // What was written is what it holds now; a failed write left the old file.
    for (qsizetype i = 0; i < m_files.size(); ++i)
        if (m_files[i].written)
            ended.files[i] = describe(m_files[i], end.outcome == Outcome::Ok);
    write(ended);
}

QJsonObject Operation::describe(const File &file, bool hash) const
{
    const QString path = QFileInfo(file.path).absoluteFilePath();
    QJsonObject o{{QStringLiteral("role"), roleName(file.role)}, {QStringLiteral("path"), path}};
    if (!hash)
        return o;
    // Only a regular file is read here: the bytes of a pipe are the
    // operation's own, and a file past every input limit is refused anyway.
    const QFileInfo info(path);
    if (info.exists() && (!info.isFile() || info.size() > core::kImageFile.maxBytes)) {
        o.insert(QStringLiteral("error"), QStringLiteral("not hashed: not a regular file within the input limits"));
        return o;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        o.insert(QStringLiteral("error"), f.errorString());
        return o;
    }
    o.insert(QStringLiteral("size"), f.size());
    if (file.role == File::Role::Image || file.role == File::Role::Profile) {
        QCryptographicHash sha(QCryptographicHash::Sha256);
        sha.addData(&f);
        o.insert(QStringLiteral("sha256"), QString::fromLatin1(sha.result().toHex()));
    } else {
        o.insert(QStringLiteral("hmac_sha256"), m_journal->keyedHash(f));
    }
    return o;
}

void Operation::write(Record record)
{
    QString error;
    if (!m_journal->append(record, &error) && m_warn)
        m_warn(error);
}

} // namespace journal
