#pragma once

#include "flash/screens/downloadscreen.h"

namespace flash {

// `flashboot2`: the bootloader extension download.
class FlashBoot2 : public DownloadScreen {
    Q_OBJECT
public:
    FlashBoot2(screens::Services &services, QWidget *parent = nullptr);
};

} // namespace flash
