#pragma once

#include "core/services.h"

#include <QWidget>

namespace loopback {

// `loopback`: placeholder until its screen is built.
class LoopbackScreen : public QWidget {
    Q_OBJECT
public:
    LoopbackScreen(core::Services &services, QWidget *parent = nullptr);

private:
    core::Services &m_services;
};

} // namespace loopback
