#pragma once

#include "screens/services.h"

#include <QWidget>

namespace config {

class Binder;

// `barcode`: nine symbology rows, two mask sets, timeout and priority.
class BarcodeScreen : public QWidget {
    Q_OBJECT
public:
    BarcodeScreen(screens::Services &services, QWidget *parent = nullptr);
    // Shows the model's current values.
    void refresh();

private:
    screens::Services &m_services;
    Binder *m_binder = nullptr;
};

} // namespace config
