#pragma once

#include "config/settings.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace config {

// Where the fields of a wiegand bit format lie: indices of wiegand.Text1 for
// Site, ID, Issue, and the numbers of the Lsb check boxes.
struct WiegandFormatIndex {
    int start[3];
    int length[3];
    int chars[3];
    int totalBits;
    int lsb[3];
};
const WiegandFormatIndex &wiegandFormat(int format); // 1..3
// The "Const" check box number of wiegand mask set 0..2, row 0..4.
int wiegandConstCheck(int set, int row);
// The index of barcode mask set 0..1, row 0..4 ("Mask # 2" runs upwards).
int barcodeMaskIndex(int set, int row);
QString barcodeRowCaption(int row);
// comm430 buttons of port 0 (RS232) or 1 (RS422).
QString comm430BaudControl(int port, int baud);
QString comm430ParityControl(int port, int parity);
QString comm430BaudCaption(int baud);
QString comm430ParityCaption(int parity);

enum class SettingKind { Text, Check, Option };

// One configuration setting by its control name, with what the screen shows
// and where the model keeps it. The screens bind their widgets through this
// table, the command-line companion sets and lists settings through it.
struct SettingInfo {
    QString name;    // "general.Text1(2)"
    QString screen;  // "general"
    QString control; // "Text1(2)": the widget's object name
    QString caption; // the control's own caption or column heading
    QString context; // the group and row headings it stands under
    SettingKind kind = SettingKind::Text;
    int maxLength = 0;     // text: 0 means no limit
    bool disabled = false; // a barcode cell the screen never lets the user change
    bool hidden = false;   // barcode row 3: exists, not shown

    std::function<QString &(Settings &)> text; // Text
    std::function<bool &(Settings &)> check;   // Check
    std::function<int &(Settings &)> group;    // Option: the group's index
    QString groupName;                         // Option: one name per group
    int member = 0;                            // Option: this button's index

    QString value(const Settings &s) const; // digits, "0"/"1", or "1" when selected
    QString kindName() const;               // "text", "check", "option"
};

const std::vector<SettingInfo> &settingTable();
const SettingInfo *findSetting(const QString &name);
// The value start-up gives the setting.
QString defaultValue(const SettingInfo &info);

// Sets a setting as the screen would let the technician set it: digits only
// and within the field's length, 0/1 for a check box, 1 on an option selects
// it (and clears its group), 0 clears it. Disabled cells and Start fields
// locked by their "Const" box refuse a change. A "Const" box set to 1 forces
// its Start field to "00". False with a reason when the screen could not hold
// the value.
bool setSetting(Settings &settings, const QString &name, const QString &value, QString *error);

// A mask row's "Const" check box and the "Start" field it locks.
struct ConstPair {
    QString check; // "wiegand.Check13"
    QString start; // "wiegand.Text2(5)"
};
const std::vector<ConstPair> &constPairs();
const ConstPair *constPairForCheck(const QString &checkName);
const ConstPair *constPairForStart(const QString &startName);
// The Const toggle: set forces the Start text to "00"; clear leaves it.
void applyConst(Settings &settings, const ConstPair &pair, bool set);
// True when the Start field of the pair is locked by its set Const box.
bool startLocked(const Settings &settings, const ConstPair &pair);

// "Available Entries in Stand Alone Mode" for a "Max ID Size" text. No value
// for an empty text or one that is not a whole number of 0 to 99: the screen
// then keeps what it showed.
struct AvailableEntries {
    qint64 adHoc = 0;
    qint64 sorted = 0;
    qint64 log = 0;
};
std::optional<AvailableEntries> availableEntries(const QString &maxIdSize);
// Whole number, at least five digits, zero-padded.
QString entriesText(qint64 value);

} // namespace config
