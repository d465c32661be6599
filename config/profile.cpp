#include "config/profile.h"

#include "config/settingkeys.h"
#include "core/safewrite.h"

#include <QCryptographicHash>
#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>

namespace config {

namespace {

const QByteArray kMagic = "# tarnic-profile";

struct Assignment {
    int line;
    QString name;
    QString value;
    const SettingKey *key;
};

// Const boxes go last, and only onto a Start field the rest left at "00":
// the screen would have forced it there, which a file must not do silently.
std::optional<QString> applyConst(Settings &settings, const Assignment &a)
{
    const bool set = a.value == QLatin1String("on") || (a.name != a.key->key && a.value == QLatin1String("1"));
    const ConstPair *pair = constPairForCheck(a.key->controls.front()->name);
    const SettingKey *start = findKey(pair->start);
    if (set && start->value(settings) != QLatin1String("00"))
        return QStringLiteral("%1 on needs %2 = 00, not %3").arg(a.name, start->key, start->value(settings));
    QString error;
    if (!applySetting(settings, a.name, a.value, &error))
        return error;
    return std::nullopt;
}

std::optional<int> formatOf(const QString &firstLine)
{
    static const QRegularExpression header(QStringLiteral("^# tarnic-profile (\\d{1,6})$"));
    const auto m = header.match(firstLine.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1).toInt();
}

} // namespace

QString ProfileError::text() const
{
    return line > 0 ? QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(reason)
                    : QStringLiteral("%1: %2").arg(file, reason);
}

ProfileRead parseProfile(const QByteArray &text, const QString &file)
{
    const QByteArrayList lines = text.split('\n');
    std::vector<Assignment> assignments;
    QHash<const SettingInfo *, int> setOn; // control -> the line that set it
    for (int n = 1; n <= lines.size(); ++n) {
        QByteArray raw = lines.at(n - 1);
        if (raw.endsWith('\r'))
            raw.chop(1);
        auto fail = [&](const QString &reason) { return ProfileError{file, n, reason}; };
        // A decoder of its own per line: it drops the byte-order mark an
        // editor may put before the first.
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString line = utf8.decode(raw);
        if (utf8.hasError())
            return fail(QStringLiteral("not UTF-8 text"));
        if (n == 1) {
            const std::optional<int> format = formatOf(line);
            if (!format || *format < 1)
                return fail(QStringLiteral("not a settings profile: the first line must be \"%1 %2\"")
                                .arg(QString::fromLatin1(kMagic))
                                .arg(kProfileFormat));
            if (*format > kProfileFormat)
                return fail(QStringLiteral("written in profile format %1 by a newer version; this version reads "
                                           "format %2")
                                .arg(*format)
                                .arg(kProfileFormat));
            continue;
        }
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = trimmed.indexOf(QLatin1Char('='));
        if (eq <= 0)
            return fail(QStringLiteral("not a \"key = value\" line"));
        Assignment a{n, trimmed.left(eq).trimmed(), trimmed.mid(eq + 1).trimmed(), nullptr};
        a.key = findKey(a.name);
        if (!a.key)
            return fail(QStringLiteral("unknown setting %1").arg(a.name));
        // A readable key covers every control of its group, a control name its own.
        for (const SettingInfo *control : a.key->controls) {
            if (a.name != a.key->key && control->name != a.name)
                continue;
            if (const int earlier = setOn.value(control); earlier > 0)
                return fail(QStringLiteral("%1 is already set on line %2").arg(a.key->key).arg(earlier));
            setOn.insert(control, n);
        }
        assignments.push_back(a);
    }

    Settings settings;
    applyConfigDefaults(settings);
    for (const bool constPass : {false, true})
        for (const Assignment &a : assignments) {
            if (isConstKey(*a.key) != constPass)
                continue;
            QString error;
            const std::optional<QString> refused = constPass      ? applyConst(settings, a)
                : applySetting(settings, a.name, a.value, &error) ? std::nullopt
                                                                  : std::optional<QString>(error);
            if (refused)
                return ProfileError{file, a.line, *refused};
        }
    return settings;
}

ProfileRead readProfile(const QString &path, const core::ReadWait &wait)
{
    QString error;
    const std::optional<QByteArray> text = core::readInputFile(path, core::kProfileFile, &error, wait);
    if (!text)
        return ProfileError{path, 0, error};
    return parseProfile(*text, path);
}

QByteArray profileText(const Settings &settings, bool all, const QStringList &notes)
{
    QByteArray out = kMagic + ' ' + QByteArray::number(kProfileFormat) + '\n';
    out += all ? "# Every setting of the Tarnic Flash Utility.\n"
               : "# The settings that differ from the Tarnic Flash Utility's defaults.\n";
    for (const QString &note : notes)
        out += "# " + note.toUtf8() + '\n';
    for (const SettingKey &k : settingKeys()) {
        const QString value = k.value(settings);
        if (all || value != k.defaultValue())
            out += (k.key + QStringLiteral(" = ") + value).trimmed().toUtf8() + '\n';
    }
    return out;
}

QString settingsHash(const Settings &settings)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(profileText(settings, true), QCryptographicHash::Sha256).toHex());
}

std::optional<QString> writeProfile(const QString &path, const QByteArray &text)
{
    return core::writeWholeFile(path, text);
}

} // namespace config
