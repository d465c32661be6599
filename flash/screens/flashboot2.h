#pragma once

#include "core/services.h"

#include <QWidget>

namespace flash {

// `flashboot2`: placeholder until its screen is built.
class FlashBoot2 : public QWidget {
    Q_OBJECT
public:
    FlashBoot2(core::Services &services, QWidget *parent = nullptr);

private:
    core::Services &m_services;
};

} // namespace flash
