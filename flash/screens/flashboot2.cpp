#include "flash/screens/flashboot2.h"

namespace flash {

FlashBoot2::FlashBoot2(screens::Services &services, QWidget *parent)
    : DownloadScreen(Kind::BootExt, services, QStringLiteral("flashboot2"), QStringLiteral("Flash Boot 2"),
                     QStringLiteral("5200 Bootloader Extension Download"), QString(), parent)
{}

} // namespace flash
