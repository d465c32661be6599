#include "loopback/screens/loopback.h"

#include <QLabel>
#include <QVBoxLayout>

namespace loopback {

LoopbackScreen::LoopbackScreen(core::Services &services, QWidget *parent) : QWidget(parent), m_services(services)
{
    setObjectName(QStringLiteral("loopback"));
    setWindowTitle(QStringLiteral("Loopback Test"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(windowTitle(), this));
    layout->addStretch();
}

} // namespace loopback
