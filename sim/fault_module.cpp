#include "sim/fault_module.h"

namespace sim {

namespace {
constexpr qint64 kDefaultFlood = 10'000'000;
constexpr qint64 kFloodPiece = qint64{64} * 1024;
} // namespace

void FaultModule::addOptions(QCommandLineParser &parser)
{
    parser.addOption({QStringLiteral("drop-at-command"),
                      QStringLiteral("Drop the connection instead of answering the Nth command line (wake-ups do "
                                     "not count; once)."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("drop-after-bytes"),
                      QStringLiteral("Drop the connection when the Nth byte arrives (counted over every "
                                     "connection; once)."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("flood-on"),
                      QStringLiteral("Answer lines starting with PREFIX with --flood-size bytes and no carriage "
                                     "return: a reply that never ends."),
                      QStringLiteral("PREFIX")});
    parser.addOption({QStringLiteral("flood-size"), QStringLiteral("Bytes of a flood."), QStringLiteral("N"),
                      QString::number(kDefaultFlood)});
    parser.addOption({QStringLiteral("received-log"),
                      QStringLiteral("Add every byte received to FILE as it arrives (what reached the controller)."),
                      QStringLiteral("FILE")});
}

bool FaultModule::configure(const QCommandLineParser &parser, QString *error)
{
    struct Switch {
        const char *name;
        qint64 *value;
    };
    for (const Switch s : {Switch{"drop-at-command", &m_dropAtCommand}, Switch{"drop-after-bytes", &m_dropAfterBytes},
                           Switch{"flood-size", &m_floodSize}}) {
        const QString name = QString::fromLatin1(s.name);
        if (parser.value(name).isEmpty())
            continue;
        bool ok = false;
        *s.value = parser.value(name).toLongLong(&ok);
        if (!ok || *s.value < 1) {
            *error = QStringLiteral("--%1 takes a number from 1").arg(name);
            return false;
        }
    }
    m_floodOn = parser.value(QStringLiteral("flood-on")).toLatin1();
    m_received.setFileName(parser.value(QStringLiteral("received-log")));
    return true;
}

void FaultModule::place(const Placement &placement)
{
    if (!m_received.fileName().isEmpty()) {
        m_received.setFileName(
            m_received.fileName().replace(QLatin1String("{index}"), QString::number(placement.index)));
        m_received.open(QIODevice::Append | QIODevice::Unbuffered);
    }
    if (placement.faults)
        return;
    m_dropAtCommand = m_dropAfterBytes = 0;
    m_floodOn.clear();
}

void FaultModule::install(Controller &controller)
{
    controller.addInterceptor([this, &controller](char byte) {
        if (m_received.isOpen())
            m_received.write(&byte, 1);
        if (++m_bytes != m_dropAfterBytes)
            return false;
        controller.dropConnection();
        return true;
    });
    controller.addLineHandler([this, &controller](const QByteArray &line) {
        if (++m_commands == m_dropAtCommand) {
            controller.dropConnection();
            return true;
        }
        if (m_floodOn.isEmpty() || !line.startsWith(m_floodOn))
            return false;
        // Printable text, in pieces so that no one buffer holds it all twice.
        const QByteArray piece(kFloodPiece, 'F');
        for (qint64 left = m_floodSize; left > 0; left -= kFloodPiece)
            controller.sendRaw(left >= kFloodPiece ? piece : piece.left(left));
        return true;
    });
}

} // namespace sim
