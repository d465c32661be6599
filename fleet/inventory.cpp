#include "fleet/inventory.h"

#include "core/controltext.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <functional>
#include <optional>

namespace fleet {

namespace {
const QStringList kColumns = {QStringLiteral("name"),
                              QStringLiteral("link"),
                              QStringLiteral("baud"),
                              QStringLiteral("profile"),
                              QStringLiteral("image"),
                              QStringLiteral("firmware"),
                              QStringLiteral("firmware_version"),
                              QStringLiteral("desired_profile"),
                              QStringLiteral("clock"),
                              QStringLiteral("clock_hours"),
                              QStringLiteral("access"),
                              QStringLiteral("access_options"),
                              QStringLiteral("schedules")};

// A clock read is whole seconds and a set lands within one: a tolerance below
// two would fail a clock just set.
constexpr qint64 kMinClockTolerance = 2;
// As far as time set --hours moves a clock.
constexpr int kMaxClockHours = 24;

// The fields of one line; nothing when a quote is left open.
std::optional<QStringList> splitFields(const QString &line)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c != QLatin1Char('"'))
                field += c;
            else if (i + 1 < line.size() && line.at(i + 1) == QLatin1Char('"'))
                field += line.at(++i);
            else
                quoted = false;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            fields << field.trimmed();
            field.clear();
        } else {
            field += c;
        }
    }
    if (quoted)
        return std::nullopt;
    fields << field.trimmed();
    return fields;
}

// A name becomes part of file names: no separators, no leading dot or dash.
bool safeName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9_.-]*$"));
    return pattern.match(name).hasMatch();
}

QString resolved(const QString &path, const QString &folder)
{
    return path.isEmpty() ? path : QDir::cleanPath(QDir(folder).absoluteFilePath(path));
}

// The desired-state columns of a row: why they are refused, if they are.
QString parseDesired(Controller &c, const std::function<QString(const char *)> &field, const QString &folder)
{
    DesiredState &d = c.desired;
    d.firmware = resolved(field("firmware"), folder);
    d.firmwareVersion = field("firmware_version");
    d.profile = resolved(field("desired_profile"), folder);
    d.access = resolved(field("access"), folder);
    d.schedules = resolved(field("schedules"), folder);
    const QStringList options = field("access_options").split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &option : options) {
        if (option == QLatin1String("sorted"))
            d.accessSorted = true;
        else if (option == QLatin1String("schedule"))
            d.accessSchedule = true;
        else
            return QStringLiteral("access_options takes sorted and schedule, a blank between, not \"%1\"").arg(option);
    }
    if (d.access.isEmpty() && !options.isEmpty())
        return QStringLiteral("access_options needs access, the access-list file");
    if (d.firmware.isEmpty() != d.firmwareVersion.isEmpty())
        return QStringLiteral("firmware and firmware_version go together: the image, and what the controller "
                              "answers to \"V\" once it runs it");
    if (!d.firmware.isEmpty() && c.endpoint.traits().rateIsOurs && c.endpoint.baud() != 9600)
        return QStringLiteral("firmware: a download runs at 9600 baud only");
    const QString clock = field("clock");
    const QString hours = field("clock_hours");
    if (clock.isEmpty()) {
        if (!hours.isEmpty())
            return QStringLiteral("clock_hours needs clock, the largest offset allowed");
        return {};
    }
    bool ok = false;
    const qint64 tolerance = clock.toLongLong(&ok);
    if (!ok || tolerance < kMinClockTolerance)
        return QStringLiteral("clock takes a whole number of seconds from %1").arg(kMinClockTolerance);
    d.clockTolerance = tolerance;
    if (!hours.isEmpty()) {
        d.clockHours = hours.toInt(&ok);
        if (!ok || d.clockHours < -kMaxClockHours || d.clockHours > kMaxClockHours)
            return QStringLiteral("clock_hours takes a whole number of hours from -%1 to %1").arg(kMaxClockHours);
    }
    return {};
}
} // namespace

QStringList linkKeysOf(const QString &link)
{
    const auto endpoint = wire::Endpoint::parse(link);
    return endpoint ? endpoint->linkKeys() : QStringList();
}

Inventory parseInventory(const QString &text, const QString &folder)
{
    Inventory inventory;
    auto fail = [&inventory](int line, const QString &why) {
        inventory.controllers.clear();
        inventory.error = QStringLiteral("inventory line %1: %2").arg(line).arg(why);
        return inventory;
    };
    QStringList header;
    QSet<QString> names;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int n = 1; n <= lines.size(); ++n) {
        QString line = lines.at(n - 1);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.trimmed().startsWith(QLatin1Char('#')))
            continue;
        const auto fields = splitFields(line);
        if (!fields)
            return fail(n, QStringLiteral("a quote is not closed"));
        if (header.isEmpty()) {
            for (const QString &column : *fields) {
                if (!kColumns.contains(column))
                    return fail(n,
                                QStringLiteral("unknown column \"%1\" (columns: %2)")
                                    .arg(column, kColumns.join(QStringLiteral(", "))));
                if (header.contains(column))
                    return fail(n, QStringLiteral("column %1 twice").arg(column));
                header << column;
            }
            if (!header.contains(QLatin1String("name")) || !header.contains(QLatin1String("link")))
                return fail(n, QStringLiteral("the header needs the columns name and link"));
            continue;
        }
        if (fields->size() > header.size())
            return fail(n, QStringLiteral("%1 fields, the header has %2").arg(fields->size()).arg(header.size()));
        // Fields end up in commands, file names and printed lines.
        for (qsizetype f = 0; f < fields->size(); ++f)
            if (core::firstControlCharacter(fields->at(f)) >= 0)
                return fail(n, QStringLiteral("a control character in the %1 field").arg(header.at(f)));
        auto field = [&](const char *column) { return fields->value(header.indexOf(QLatin1String(column))); };
        Controller c;
        c.line = n;
        c.name = field("name");
        c.link = field("link");
        if (c.name.isEmpty() || c.link.isEmpty())
            return fail(n, QStringLiteral("name and link are required"));
        if (!safeName(c.name))
            return fail(n,
                        QStringLiteral("name %1: use letters, digits, '-', '_' and '.', starting with a letter, "
                                       "digit or '_'")
                            .arg(c.name));
        if (names.contains(c.name))
            return fail(n, QStringLiteral("name %1 is used twice").arg(c.name));
        names.insert(c.name);
        QString why;
        const auto endpoint = wire::Endpoint::parse(c.link, &why);
        if (!endpoint)
            return fail(n, why);
        c.endpoint = *endpoint;
        if (const QString baud = field("baud"); !baud.isEmpty()) {
            if (const QString wrong = c.endpoint.setBaud(baud.toInt()); !wrong.isEmpty())
                return fail(n, wrong);
        }
        c.profile = resolved(field("profile"), folder);
        c.image = resolved(field("image"), folder);
        if (const QString why = parseDesired(c, field, folder); !why.isEmpty())
            return fail(n, why);
        inventory.controllers.push_back(c);
    }
    if (header.isEmpty())
        return fail(static_cast<int>(lines.size()), QStringLiteral("no header row"));
    if (inventory.controllers.empty())
        return fail(static_cast<int>(lines.size()), QStringLiteral("no controllers"));
    return inventory;
}

Inventory readInventory(const QString &path, const core::ReadWait &wait)
{
    QString error;
    const std::optional<QByteArray> text = core::readInputFile(path, core::kInventoryFile, &error, wait);
    if (!text)
        return {{}, QStringLiteral("cannot read the inventory %1: %2").arg(path, error)};
    Inventory inventory = parseInventory(QString::fromUtf8(*text), QFileInfo(path).absolutePath());
    if (!inventory.error.isEmpty())
        inventory.error = path + QStringLiteral(": ") + inventory.error;
    return inventory;
}

} // namespace fleet
