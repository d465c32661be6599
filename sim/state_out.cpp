#include "sim/state_out.h"

#include "sim/state.h"

#include <QFile>
#include <QMutexLocker>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace sim {

StateOut::StateOut(QString path, int controllers) : m_path(std::move(path)), m_lines(static_cast<size_t>(controllers))
{}

void StateOut::set(int index, const QByteArray &json)
{
    const QMutexLocker lock(&m_mutex);
    m_lines[static_cast<size_t>(index - 1)] = json;
}

void StateOut::update(int index, const QByteArray &json)
{
    const QMutexLocker lock(&m_mutex);
    m_lines[static_cast<size_t>(index - 1)] = json;
    QString error;
    if (m_live && !writeLocked(&error))
        std::fprintf(stderr, "tarnic-sim: %s\n", error.toLocal8Bit().constData());
}

bool StateOut::write(QString *error)
{
    const QMutexLocker lock(&m_mutex);
    m_live = true;
    return writeLocked(error);
}

// A temporary file renamed over the old one: a reader sees one whole state
// or the next. No sync to disk: the file is read on this machine while the
// simulator runs, and a sync would cost far more than the change itself.
bool StateOut::writeLocked(QString *error)
{
    const QByteArray text = stateFile(m_lines);
    const QString temporary = m_path + QStringLiteral(".tmp");
    QFile file(temporary);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size() && file.flush()) {
        file.close();
        if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(m_path).constData()) == 0)
            return true;
        *error = QStringLiteral("cannot write %1: %2").arg(m_path, QString::fromLocal8Bit(std::strerror(errno)));
    } else {
        *error = QStringLiteral("cannot write %1: %2").arg(m_path, file.errorString());
    }
    QFile::remove(temporary);
    return false;
}

} // namespace sim
