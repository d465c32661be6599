#pragma once

#include "core/services.h"

#include <QWidget>

namespace utilities {

// `utilities`: placeholder until its screen is built.
class UtilitiesScreen : public QWidget {
    Q_OBJECT
public:
    UtilitiesScreen(core::Services &services, QWidget *parent = nullptr);

private:
    core::Services &m_services;
};

} // namespace utilities
