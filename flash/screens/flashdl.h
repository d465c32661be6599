#pragma once

#include "flash/screens/downloadscreen.h"

namespace flash {

// `flashdl`: the firmware image download.
class FlashDl : public DownloadScreen {
    Q_OBJECT
public:
    FlashDl(screens::Services &services, QWidget *parent = nullptr);
};

} // namespace flash
