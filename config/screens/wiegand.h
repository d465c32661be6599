#pragma once

#include "core/services.h"

#include <QWidget>

namespace config {

class Binder;

// `wiegand`: three Wiegand/prox bit formats, three mask sets, magstripe options.
class WiegandScreen : public QWidget {
    Q_OBJECT
public:
    WiegandScreen(core::Services &services, QWidget *parent = nullptr);
    // Shows the model's current values.
    void refresh();

private:
    core::Services &m_services;
    Binder *m_binder = nullptr;
};

} // namespace config
