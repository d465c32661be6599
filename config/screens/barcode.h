#pragma once

#include "core/services.h"

#include <QWidget>

namespace config {

// `barcode`: placeholder until its screen is built.
class BarcodeScreen : public QWidget {
    Q_OBJECT
public:
    BarcodeScreen(core::Services &services, QWidget *parent = nullptr);

private:
    core::Services &m_services;
};

} // namespace config
