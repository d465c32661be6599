#include "sim/state_out.h"

#include "sim/state.h"

#include <QMutexLocker>
#include <QSaveFile>

#include <cstdio>

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

bool StateOut::writeLocked(QString *error)
{
    QSaveFile file(m_path);
    if (file.open(QIODevice::WriteOnly) && file.write(stateFile(m_lines)) >= 0 && file.commit())
        return true;
    *error = QStringLiteral("cannot write %1: %2").arg(m_path, file.errorString());
    return false;
}

} // namespace sim
