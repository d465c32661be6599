#include "config/settings.h"

namespace config {

bool barcodeCheckDisabled(int row, int column)
{
    const bool noCheckDigit = column == CD || column == TransmitCD;
    switch (row) {
    case 1: // I 2/5
    case 5: // Code 128
        return column == SS;
    case 2: // S 2/5
    case 6: // Upca
    case 7: // Ean13
    case 8: // Ind 2/5
        return noCheckDigit || column == SS;
    case 4: // Codabar
        return noCheckDigit;
    default:
        return false;
    }
}

bool barcodeLenDisabled(int row) { return row == 6 || row == 7; }

namespace {

void comm430Defaults(Comm430Settings &c)
{
    c.rs232Baud = Comm430Settings::B9600;
    c.rs232Parity = Comm430Settings::NoParity8;
    c.rs422Baud = Comm430Settings::B9600;
    c.rs422Parity = Comm430Settings::NoParity8;
}

void generalDefaults(GeneralSettings &g)
{
    g.readerType = GeneralSettings::WiegandMagstripe;
    g.operatingMode = GeneralSettings::StandAlone;
    g.Text1[2] = QStringLiteral("18");
    g.Text1[1] = QStringLiteral("05");
    g.Check1[0] = false;
    g.Check1[2] = true;
    g.Check2 = true;
    g.Check3 = false;
    g.Check4 = false;
    g.Check5 = false;
    g.Check1[1] = false;
    g.Check7[0] = false;
    g.Check8.fill(false);
    g.tone = GeneralSettings::Hi;
    g.Text5[0] = QStringLiteral("50");
    g.Text5[1] = QStringLiteral("50");
    for (int i = 2; i <= 4; ++i)
        g.Text5[i] = QStringLiteral("00");
    g.lookupMode = GeneralSettings::Both;
    g.Check6 = true;
    // The tone ends on "Med": the later selection stands.
    g.tone = GeneralSettings::Med;
}

void wiegandDefaults(WiegandSettings &w)
{
    // Format 1 is the 26-bit layout.
    w.Text1[1] = QStringLiteral("02");
    w.Text1[4] = QStringLiteral("08");
    w.Text1[6] = QStringLiteral("03");
    w.Text1[0] = QStringLiteral("10");
    w.Text1[5] = QStringLiteral("16");
    w.Text1[7] = QStringLiteral("05");
    w.Text1[3] = QStringLiteral("26");
    w.Text1[2] = QStringLiteral("00");
    w.Text1[8] = QStringLiteral("00");
    w.Text1[9] = QStringLiteral("00");
    for (int i = 10; i <= 29; ++i)
        w.Text1[i] = QStringLiteral("00");
    for (int i = 1; i <= 24; ++i)
        w.Check[i] = false;
    for (int i = 0; i <= 14; ++i) {
        w.Text2[i] = QStringLiteral("00");
        w.Text3[i] = QStringLiteral("000");
    }
    for (int i = 25; i <= 30; ++i)
        w.Check[i] = false;
    w.Text4 = QStringLiteral("00");
    w.Text5 = QStringLiteral("00");
}

void barcodeDefaults(BarcodeSettings &b)
{
    for (int i = 0; i < 72; ++i)
        if (!barcodeCheckDisabled(i / 8, i % 8))
            b.Check1[i] = false;
    for (int r = 0; r < kBarcodeRows; ++r)
        b.Check1[8 * r + XB] = true;
    for (int r = 0; r < kBarcodeRows; ++r) {
        b.Text1[r] = QStringLiteral("00");
        b.Text3[r] = QStringLiteral("04");
    }
    for (int i = 0; i <= 44; ++i) {
        b.Text2[i] = QStringLiteral("000");
        b.Text4[i] = QStringLiteral("000");
    }
    for (int i = 0; i <= 9; ++i) {
        b.Check4[i] = false;
        b.Text5[i] = QStringLiteral("00");
        b.Text7[i] = QStringLiteral("000");
    }
    b.Text8[0] = QStringLiteral("00");
    b.Text8[1] = QStringLiteral("00");
    b.Text6 = QStringLiteral("02");
    b.Check2 = false;
    b.Check3 = false;
    b.priority = BarcodeSettings::None;
}

} // namespace

void applyConfigDefaults(Settings &settings)
{
    comm430Defaults(settings.comm430);
    generalDefaults(settings.general);
    wiegandDefaults(settings.wiegand);
    barcodeDefaults(settings.barcode);
}

} // namespace config
