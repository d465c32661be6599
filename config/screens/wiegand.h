#pragma once

#include "core/services.h"

#include <QWidget>

namespace config {

// `wiegand`: placeholder until its screen is built.
class WiegandScreen : public QWidget {
    Q_OBJECT
public:
    WiegandScreen(core::Services &services, QWidget *parent = nullptr);

private:
    core::Services &m_services;
};

} // namespace config
