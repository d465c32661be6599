#pragma once

#include "core/services.h"

#include <QWidget>

namespace flash {

// `flashdl`: placeholder until its screen is built.
class FlashDl : public QWidget {
    Q_OBJECT
public:
    FlashDl(core::Services &services, QWidget *parent = nullptr);

private:
    core::Services &m_services;
};

} // namespace flash
