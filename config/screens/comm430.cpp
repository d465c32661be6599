#include "config/screens/comm430.h"

#include <QLabel>
#include <QVBoxLayout>

namespace config {

Comm430Screen::Comm430Screen(core::Services &services, QWidget *parent) : QWidget(parent), m_services(services)
{
    setObjectName(QStringLiteral("comm430"));
    setWindowTitle(QStringLiteral("Comm 430 Settings"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(windowTitle(), this));
    layout->addStretch();
}

} // namespace config
