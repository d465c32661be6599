#pragma once

#include "core/services.h"

#include <QWidget>

namespace config {

// `comm430`: placeholder until its screen is built.
class Comm430Screen : public QWidget {
    Q_OBJECT
public:
    Comm430Screen(core::Services &services, QWidget *parent = nullptr);

private:
    core::Services &m_services;
};

} // namespace config
