#pragma once

#include "core/services.h"

#include <QWidget>

namespace config {

class Binder;

// `barcode`: nine symbology rows, two mask sets, timeout and priority.
class BarcodeScreen : public QWidget {
    Q_OBJECT
public:
    BarcodeScreen(core::Services &services, QWidget *parent = nullptr);
    // Shows the model's current values.
    void refresh();

private:
    core::Services &m_services;
    Binder *m_binder = nullptr;
};

} // namespace config
