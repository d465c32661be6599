#include "terminal/screens/termmode.h"

#include <QLabel>
#include <QVBoxLayout>

namespace terminal {

TermMode::TermMode(core::Services &services, QWidget *parent) : QWidget(parent), m_services(services)
{
    setObjectName(QStringLiteral("termmode"));
    setWindowTitle(QStringLiteral("Terminal Mode"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(windowTitle(), this));
    layout->addStretch();
}

void TermMode::enter() {}

} // namespace terminal
