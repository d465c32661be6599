#include "sim/basic_module.h"

namespace sim {

void BasicModule::addOptions(QCommandLineParser &parser)
{
    parser.addOption({QStringLiteral("id-size"), QStringLiteral("ID size reported for \"x\"."), QStringLiteral("N"),
                      QStringLiteral("18")});
    parser.addOption({QStringLiteral("version-text"), QStringLiteral("Reply to \"V\"."), QStringLiteral("TEXT")});
    parser.addOption({QStringLiteral("ack"), QStringLiteral("Reply to other command lines."), QStringLiteral("TEXT")});
    parser.addOption({QStringLiteral("silent-on"),
                      QStringLiteral("Give no reply to lines starting with PREFIX (repeatable)."),
                      QStringLiteral("PREFIX")});
}

bool BasicModule::configure(const QCommandLineParser &parser, QString *error)
{
    bool ok = false;
    m_options.idSize = parser.value(QStringLiteral("id-size")).toInt(&ok);
    if (!ok) {
        *error = QStringLiteral("--id-size takes a number");
        return false;
    }
    if (parser.isSet(QStringLiteral("version-text")))
        m_options.version = parser.value(QStringLiteral("version-text")).toLatin1();
    if (parser.isSet(QStringLiteral("ack")))
        m_options.ack = parser.value(QStringLiteral("ack")).toLatin1();
    for (const QString &s : parser.values(QStringLiteral("silent-on")))
        m_options.silentOn.append(s.toLatin1());
    return true;
}

void BasicModule::place(const Placement &placement)
{
    if (!placement.faults)
        m_options.silentOn.clear();
    if (placement.state && placement.state->version)
        m_options.version = *placement.state->version;
}

// A flash download changes the identification on both transports at once.
void BasicModule::snapshot(ControllerState &state) const { state.version = m_controllers.front()->options().version; }

void BasicModule::install(Controller &controller)
{
    controller.options() = m_options;
    m_controllers.push_back(&controller);
    controller.addLineHandler([&controller](const QByteArray &line) {
        if (line == "x") {
            controller.reply(QByteArray::number(controller.options().idSize));
            return true;
        }
        if (line == "V") {
            controller.reply(controller.options().version);
            return true;
        }
        return false;
    });
}

} // namespace sim
