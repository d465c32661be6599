#pragma once

#include "core/services.h"

#include <QWidget>

namespace config {

// `pgmform`: placeholder until its screen is built.
class PgmForm : public QWidget {
    Q_OBJECT
public:
    PgmForm(core::Services &services, QWidget *parent = nullptr);

private:
    core::Services &m_services;
};

} // namespace config
