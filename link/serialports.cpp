#include "link/serialports.h"

#include <QDir>
#include <QHash>
#include <QSerialPortInfo>

namespace wire {

QString SerialPort::label() const
{
    QStringList details{manufacturer, product, serialNumber};
    details.removeAll(QString());
    const QString name = byId.isEmpty() ? location : QFileInfo(byId).fileName();
    return details.isEmpty() ? name : name + QStringLiteral(" — ") + details.join(QStringLiteral(", "));
}

QList<SerialPort> availableSerialPorts()
{
    // udev keeps these links only while an adapter is plugged in.
    QHash<QString, QString> byId;
    const QDir links(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo &link : links.entryInfoList(QDir::Files | QDir::System, QDir::Name))
        byId.insert(link.canonicalFilePath(), link.absoluteFilePath());

    QList<SerialPort> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        ports.append({info.systemLocation(), byId.value(info.systemLocation()), info.manufacturer(), info.description(),
                      info.serialNumber()});
    return ports;
}

} // namespace wire
