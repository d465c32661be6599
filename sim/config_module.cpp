#include "sim/config_module.h"

#include <QFile>
#include <QSaveFile>

namespace sim {

namespace {

bool digitsOnly(const QByteArray &s, int min, int max)
{
    if (s.size() < min || s.size() > max)
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

} // namespace

void ConfigModule::addOptions(QCommandLineParser &parser)
{
    parser.addOption({QStringLiteral("config-log"),
                      QStringLiteral("Rewrite FILE with the last value of every configuration command as it "
                                     "arrives (KEY<TAB>VALUE lines)."),
                      QStringLiteral("FILE")});
}

bool ConfigModule::configure(const QCommandLineParser &parser, QString *)
{
    m_logPath = parser.value(QStringLiteral("config-log"));
    return true;
}

void ConfigModule::place(const Placement &placement)
{
    m_logPath.replace(QLatin1String("{index}"), QString::number(placement.index));
}

void ConfigModule::install(Controller &controller)
{
    m_controllers.push_back(&controller);
    controller.addLineHandler([this, &controller](const QByteArray &line) { return onLine(controller, line); });
}

bool ConfigModule::classify(const QByteArray &line, QString *key, QByteArray *value)
{
    if (line.size() >= 4 && line.at(0) == 'X' && digitsOnly(line.mid(1, 3), 3, 3)) {
        const int number = line.mid(1, 3).toInt();
        if (number == 59 && line.size() == 5 && digitsOnly(line.mid(4), 1, 1)) {
            *key = QString::fromLatin1(line);
            value->clear();
            return true;
        }
        if (number >= 1 && number <= 58) {
            *key = QString::fromLatin1(line.left(4));
            *value = line.mid(4);
            return true;
        }
        return false;
    }
    if (line.isEmpty())
        return false;
    const QByteArray rest = line.mid(1);
    struct StandAlone {
        char first;
        const char *key;
        int min, max;
    };
    static const StandAlone forms[] = {
        {'\\', "idsize", 1, 2},  {'|', "mode", 1, 1},      {'"', "relaytime", 1, 2},
        {':', "badidlog", 1, 1}, {'r', "seriallog", 1, 1}, {'E', "lookup", 0, 1},
    };
    for (const StandAlone &f : forms) {
        if (line.at(0) == f.first && digitsOnly(rest, f.min, f.max)) {
            *key = QLatin1String(f.key);
            *value = rest;
            return true;
        }
    }
    return false;
}

bool ConfigModule::onLine(Controller &controller, const QByteArray &line)
{
    if (line == QByteArray("\0U1", 3)) {
        m_values[QStringLiteral("reset")] = QByteArray::number(m_values.value(QStringLiteral("reset")).toInt() + 1);
        writeLog();
        return true; // a resetting controller says nothing
    }
    QString key;
    QByteArray value;
    if (!classify(line, &key, &value))
        return false;
    m_values[key] = value;
    if (key == QLatin1String("idsize")) {
        for (Controller *c : m_controllers)
            c->options().idSize = value.toInt();
        // A new ID size lays the memory out afresh.
        controller.wipeData();
    }
    writeLog();
    controller.reply(controller.options().ack);
    return true;
}

void ConfigModule::writeLog() const
{
    if (m_logPath.isEmpty())
        return;
    QSaveFile f(m_logPath);
    if (!f.open(QIODevice::WriteOnly))
        return;
    for (auto it = m_values.cbegin(); it != m_values.cend(); ++it)
        f.write(it.key().toLatin1() + '\t' + it.value() + '\n');
    f.commit();
}

} // namespace sim
