#include "flash/screens/flashdl.h"

namespace flash {

FlashDl::FlashDl(screens::Services &services, QWidget *parent)
    : DownloadScreen(Kind::Flash, services, QStringLiteral("flashdl"), QStringLiteral("Flash Download"),
                     QStringLiteral("Tarnic Flash Download"),
                     QStringLiteral("For all Tarnic Products except 460 and 480. Do Not use this Flash routine "
                                    "for 460 or 480 Data Converters."),
                     parent)
{}

} // namespace flash
