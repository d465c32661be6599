#include "journal/desk.h"

#include "journal/journal.h"
#include "journal/place.h"
#include "link/link.h"

namespace journal {

Desk::Desk(bool on) { setOn(on); }

Desk::~Desk() = default;

void Desk::setOn(bool on)
{
    m_on = on;
    m_journal.reset();
    m_problem.clear();
    if (on)
        m_journal = Journal::open(place(QString()).path, Journal::Access::Write, &m_problem);
}

Operation Desk::begin(const Begin &begin, const Note &note) const
{
    if (!m_on) {
        note(QString());
        return Operation(nullptr, begin, note);
    }
    const auto warn = [note](const QString &problem) { note(unrecorded(problem)); };
    if (!m_journal) {
        warn(m_problem);
        return Operation(nullptr, begin, warn);
    }
    note(QString());
    return Operation(m_journal.get(), begin, warn);
}

Begin onLink(const wire::Link &link, const QString &operation, const QStringList &options, const QList<File> &files)
{
    Begin begin;
    begin.operation = operation;
    begin.options = options;
    begin.files = files;
    if (link.isConnected() && link.opened())
        begin.link = link.opened()->toString();
    return begin;
}

QString unrecorded(const QString &problem)
{
    return QStringLiteral("warning: %1; the work goes on unrecorded").arg(problem);
}

} // namespace journal
