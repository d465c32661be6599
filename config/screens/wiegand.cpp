#include "config/screens/wiegand.h"

#include <QLabel>
#include <QVBoxLayout>

namespace config {

WiegandScreen::WiegandScreen(core::Services &services, QWidget *parent) : QWidget(parent), m_services(services)
{
    setObjectName(QStringLiteral("wiegand"));
    setWindowTitle(QStringLiteral("Wiegand Settings"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(windowTitle(), this));
    layout->addStretch();
}

} // namespace config
