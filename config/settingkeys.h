#pragma once

#include "config/settingtable.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace config {

// A setting under its readable key ("general.max_id_size"): one control, or a
// whole option group whose value is the word of the selected button. The keys
// come from the table's screens, headings and captions; where those repeat or
// are missing the key counts positions as the screen shows them, top down
// ("wiegand.mask2.row1.start", "barcode.row3.enable").
struct SettingKey {
    QString key;
    QString screen;
    QString caption; // headings and caption, as the listing shows them
    // One control; for an option group every button in table order.
    std::vector<const SettingInfo *> controls;
    QStringList words; // option group: the value word of each button

    bool isGroup() const { return controls.front()->kind == SettingKind::Option; }
    // Digits as typed, "on"/"off", or the selected button's word ("none" when
    // no button of the group is selected).
    QString value(const Settings &settings) const;
    QString defaultValue() const;
};

inline const QString kNoneSelected = QStringLiteral("none");

// Every setting once, in table order.
const std::vector<SettingKey> &settingKeys();
// "key=value" for every setting, in table order: two settings are the same
// when these are.
QStringList assignments(const Settings &settings);
// By readable key or by a control name, which stands for its key.
const SettingKey *findKey(const QString &name);

// Sets one setting by readable key ("general.reader=barcode",
// "general.beep=off") or control name ("general.Option13=1"), under the same
// rules the screens keep. False with a reason when the value cannot be taken.
bool applySetting(Settings &settings, const QString &name, const QString &value, QString *error);

// The Const box a mask row's Start field belongs to, when the key is one.
bool isConstKey(const SettingKey &key);

} // namespace config
