#pragma once

#include "core/services.h"

#include <QWidget>

namespace config {

// `general`: placeholder until its screen is built.
class GeneralScreen : public QWidget {
    Q_OBJECT
public:
    GeneralScreen(core::Services &services, QWidget *parent = nullptr);

private:
    core::Services &m_services;
};

} // namespace config
