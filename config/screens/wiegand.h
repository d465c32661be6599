#pragma once

#include "screens/services.h"

#include <QWidget>

namespace config {

class Binder;

// `wiegand`: three Wiegand/prox bit formats, three mask sets, magstripe options.
class WiegandScreen : public QWidget {
    Q_OBJECT
public:
    WiegandScreen(screens::Services &services, QWidget *parent = nullptr);
    // Shows the model's current values.
    void refresh();

private:
    screens::Services &m_services;
    Binder *m_binder = nullptr;
};

} // namespace config
