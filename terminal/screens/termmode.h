#pragma once

#include "core/services.h"

#include <QWidget>

namespace terminal {

// `termmode`: placeholder until its screen is built.
class TermMode : public QWidget {
    Q_OBJECT
public:
    TermMode(core::Services &services, QWidget *parent = nullptr);
    // The entry steps and the receive loop; returns when the terminal stop
    // flag is set.
    void enter();

private:
    core::Services &m_services;
};

} // namespace terminal
