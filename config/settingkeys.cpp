#include "config/settingkeys.h"

#include <QHash>
#include <QRegularExpression>

namespace config {

namespace {

// Lower case, every run of other characters one "_".
QString slug(QString text)
{
    static const QRegularExpression others(QStringLiteral("[^a-z0-9]+"));
    text = text.toLower().replace(others, QStringLiteral("_"));
    while (text.startsWith(QLatin1Char('_')))
        text.remove(0, 1);
    while (text.endsWith(QLatin1Char('_')))
        text.chop(1);
    return text;
}

// A symbology caption as one word: "I 2/5" is "i2of5", "Code 128" "code128".
QString symbology(const QString &caption)
{
    static const QRegularExpression others(QStringLiteral("[^a-z0-9]"));
    return caption.toLower().replace(QLatin1Char('/'), QStringLiteral("of")).remove(others);
}

// One heading of a control's context as a key part; empty when the key does
// without it.
QString headingPart(const SettingInfo &info, int level, const QString &heading)
{
    if (info.screen == QLatin1String("general"))
        return heading == QLatin1String("Programming Levels") ? QStringLiteral("level") : QString();
    if (info.screen == QLatin1String("comm430"))
        return {};
    static const QRegularExpression numbered(QStringLiteral("(Format|Mask|row) #? ?(\\d)"));
    if (const auto m = numbered.match(heading); m.hasMatch()) {
        // A mask set's heading leads; its rows ("Mask 1" to "Mask 5") follow it.
        const QString word = m.captured(1) == QLatin1String("Format") ? QStringLiteral("format")
            : m.captured(1) == QLatin1String("Mask") && level == 0    ? QStringLiteral("mask")
                                                                      : QStringLiteral("row");
        return word + m.captured(2);
    }
    // "Prefix" and "Suffix" stand in the captions already ("Prefix 1").
    if (slug(info.caption).startsWith(slug(heading)))
        return {};
    return symbology(heading);
}

// A caption without its closing remark in brackets ("Sep Char (in hex)").
QString captionPart(const QString &caption)
{
    static const QRegularExpression remark(QStringLiteral(" \\([^)]*\\)$"));
    const QString s = slug(QString(caption).remove(remark));
    return s == QLatin1String("enbl") ? QStringLiteral("enable") : s;
}

// An option button's value word. The barcode priority's own "None" button is
// "off", so that "none" always means no button selected.
QString wordOf(const SettingInfo &info)
{
    QStringList parts;
    for (const QString &part : info.caption.split(QStringLiteral(" and ")))
        parts << slug(part);
    const QString word = parts.join(QLatin1Char('+'));
    return word == kNoneSelected ? QStringLiteral("off") : word;
}

// "general.reader" from the group name "general.reader", "comm430.rs232.baud"
// from "comm430.rs232Baud".
QString groupKey(const QString &groupName)
{
    QString key;
    for (const QChar c : groupName) {
        if (c.isUpper())
            key += QLatin1Char('.');
        key += c.toLower();
    }
    return key;
}

QString keyOf(const SettingInfo &info)
{
    if (info.kind == SettingKind::Option)
        return groupKey(info.groupName);
    QStringList parts{info.screen};
    const QStringList headings = info.context.split(QStringLiteral(" / "), Qt::SkipEmptyParts);
    for (int level = 0; level < headings.size(); ++level)
        if (const QString part = headingPart(info, level, headings.at(level)); !part.isEmpty())
            parts << part;
    parts << captionPart(info.caption);
    return parts.join(QLatin1Char('.'));
}

QString listedCaption(const SettingInfo &info)
{
    if (info.kind == SettingKind::Option)
        return info.context;
    return info.context.isEmpty() ? info.caption : info.context + QStringLiteral(" / ") + info.caption;
}

struct Index {
    std::vector<SettingKey> keys;
    QHash<QString, qsizetype> byName; // keys and control names
};

const Index &index()
{
    static const Index built = [] {
        Index x;
        for (const SettingInfo &info : settingTable()) {
            const QString key = keyOf(info);
            // A position, not an iterator: the inserts below may move the hash.
            const qsizetype at = x.byName.value(key, static_cast<qsizetype>(x.keys.size()));
            if (at == static_cast<qsizetype>(x.keys.size())) {
                x.byName.insert(key, at);
                x.keys.push_back({key, info.screen, listedCaption(info), {}, {}});
            }
            SettingKey &k = x.keys[static_cast<size_t>(at)];
            k.controls.push_back(&info);
            if (info.kind == SettingKind::Option)
                k.words << wordOf(info);
            x.byName.insert(info.name, at);
        }
        return x;
    }();
    return built;
}

const QString kOn = QStringLiteral("on");
const QString kOff = QStringLiteral("off");

} // namespace

QString SettingKey::value(const Settings &settings) const
{
    const SettingInfo &first = *controls.front();
    switch (first.kind) {
    case SettingKind::Text:
        return first.value(settings);
    case SettingKind::Check:
        return first.value(settings) == QLatin1String("1") ? kOn : kOff;
    case SettingKind::Option:
        for (size_t i = 0; i < controls.size(); ++i)
            if (controls[i]->value(settings) == QLatin1String("1"))
                return words.at(static_cast<qsizetype>(i));
        return kNoneSelected;
    }
    return {};
}

QString SettingKey::defaultValue() const
{
    static const Settings defaults = [] {
        Settings s;
        applyConfigDefaults(s);
        return s;
    }();
    return value(defaults);
}

const std::vector<SettingKey> &settingKeys() { return index().keys; }

QStringList assignments(const Settings &settings)
{
    QStringList out;
    for (const SettingKey &k : settingKeys())
        out << k.key + QLatin1Char('=') + k.value(settings);
    return out;
}

const SettingKey *findKey(const QString &name)
{
    const auto at = index().byName.constFind(name);
    return at == index().byName.cend() ? nullptr : &index().keys[static_cast<size_t>(*at)];
}

bool isConstKey(const SettingKey &key) { return constPairForCheck(key.controls.front()->name) != nullptr; }

bool applySetting(Settings &settings, const QString &name, const QString &value, QString *error)
{
    const SettingKey *key = findKey(name);
    if (!key || key->key != name) // a control name keeps the control's own rules
        return setSetting(settings, name, value, error);
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const SettingInfo &first = *key->controls.front();
    // The control's rules, its refusal under the key it was given by.
    auto control = [&](const QString &controlValue) {
        if (setSetting(settings, first.name, controlValue, error))
            return true;
        if (error)
            error->replace(first.name, key->key);
        return false;
    };
    switch (first.kind) {
    case SettingKind::Text:
        return control(value);
    case SettingKind::Check:
        if (value != kOn && value != kOff)
            return fail(QStringLiteral("%1 takes on or off").arg(key->key));
        return control(value == kOn ? QStringLiteral("1") : QStringLiteral("0"));
    case SettingKind::Option: {
        const qsizetype member = key->words.indexOf(value);
        if (member >= 0) {
            first.group(settings) = key->controls[static_cast<size_t>(member)]->member;
            return true;
        }
        if (value == kNoneSelected) {
            first.group(settings) = kNone;
            return true;
        }
        return fail(
            QStringLiteral("%1 takes %2 or %3").arg(key->key, key->words.join(QStringLiteral(", ")), kNoneSelected));
    }
    }
    return fail(QStringLiteral("unknown setting %1").arg(name));
}

} // namespace config
