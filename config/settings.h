#pragma once

#include <QString>

#include <array>

namespace config {

// One plain struct per configuration screen, fields under their control names.
// Text fields hold digits as typed; check boxes are bools; each option group is
// one index (the member's position in the group's enum, kNone when nothing is
// selected).
inline constexpr int kNone = -1;

struct GeneralSettings {
    // "Reader Settings": Option13, Option11, Option10, Option12.
    enum Reader { Barcode, Wiegand, Magstripe, WiegandMagstripe };
    // "Tone": Option14, Option15, Option16.
    enum Tone { Hi, Med, Low };
    // "Operating Mode": Option1(2), Option1(1).
    enum Mode { Online, StandAlone };
    // "Lookup Mode": Option1(3), Option1(5), Option1(4).
    enum Lookup { AdHoc, Sorted, Both };

    int readerType = kNone;
    int tone = kNone;
    int operatingMode = kNone;
    int lookupMode = kNone;

    std::array<bool, 3> Check1{}; // (0) Masking, (1) Serial Logging, (2) Bad ID Logging ON
    bool Check2 = false;          // Beep
    bool Check3 = false;          // Parity Check
    bool Check4 = false;          // Kronos Mode
    bool Check5 = false;          // Open Enrollment
    bool Check6 = false;          // Startup Tone ON
    std::array<bool, 1> Check7{}; // (0) First Person in
    std::array<bool, 7> Check8{}; // programming levels 0-2, relay/door 3-6
    std::array<QString, 3> Text1; // (1) Relay/Led Time, (2) Max ID Size; (0) unused
    std::array<QString, 5> Text5; // speaker times 0-1, LED/relay times 2-4
};

struct WiegandSettings {
    std::array<QString, 30> Text1; // bit formats
    std::array<QString, 15> Text2; // mask Start
    std::array<QString, 15> Text3; // mask Len/Value
    QString Text4;                 // magstripe Length
    QString Text5;                 // Sep Char (in hex)
    // wiegand.Check1 to wiegand.Check30 are separate controls; Check[n] is
    // wiegand.Checkn (Check[0] unused).
    std::array<bool, 31> Check{};
};

struct BarcodeSettings {
    // "Prioritiy": Option1(2), Option1(0), Option1(1).
    enum Priority { None, Small, Large };

    std::array<bool, 72> Check1{}; // symbology rows, 8 per row
    bool Check2 = false;           // Alpha Delete
    bool Check3 = false;           // PDI
    std::array<bool, 10> Check4{}; // mask Const
    std::array<QString, 9> Text1;  // Len
    std::array<QString, 45> Text2; // prefix characters
    std::array<QString, 9> Text3;  // # Bars
    std::array<QString, 45> Text4; // suffix characters
    std::array<QString, 10> Text5; // mask Start
    QString Text6;                 // Timeout
    std::array<QString, 10> Text7; // mask Len/Value
    std::array<QString, 2> Text8;  // mask Length
    int priority = kNone;
};

struct Comm430Settings {
    // Baud groups: index i is the rate whose code is i + 1 ("1" = 1200 ... "8" = 115200).
    enum Baud { B1200, B2400, B4800, B9600, B19200, B38400, B57600, B115200 };
    // Parity groups.
    enum Parity { NoParity8, Even7, Odd7 };

    int rs232Baud = kNone;
    int rs232Parity = kNone;
    int rs422Baud = kNone;
    int rs422Parity = kNone;
};

struct Settings {
    GeneralSettings general;
    WiegandSettings wiegand;
    BarcodeSettings barcode;
    Comm430Settings comm430;
};

// The configuration screens' share of the start-up defaults, in their order:
// comm430, general, wiegand, barcode.
void applyConfigDefaults(Settings &settings);

// Barcode symbology columns: the offset of a check box within its row of 8.
enum BarcodeColumn { Enbl, CD, XB, TransmitCD, SS, Dir, Pre, Suf };
inline constexpr int kBarcodeRows = 9;
// The row with no caption; its controls exist but are not shown.
inline constexpr int kHiddenBarcodeRow = 3;
// Cells that do not apply to their symbology: the screen keeps them disabled.
bool barcodeCheckDisabled(int row, int column);
bool barcodeLenDisabled(int row);

} // namespace config
