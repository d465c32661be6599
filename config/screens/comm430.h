#pragma once

#include "screens/services.h"

#include <QWidget>

namespace config {

class Binder;

// `comm430`: the converter's RS232 and RS422 port settings.
class Comm430Screen : public QWidget {
    Q_OBJECT
public:
    Comm430Screen(screens::Services &services, QWidget *parent = nullptr);
    // Shows the model's current values.
    void refresh();

private:
    screens::Services &m_services;
    Binder *m_binder = nullptr;
};

} // namespace config
