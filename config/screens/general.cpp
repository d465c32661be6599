#include "config/screens/general.h"

#include <QLabel>
#include <QVBoxLayout>

namespace config {

GeneralScreen::GeneralScreen(core::Services &services, QWidget *parent) : QWidget(parent), m_services(services)
{
    setObjectName(QStringLiteral("general"));
    setWindowTitle(QStringLiteral("General Settings"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(windowTitle(), this));
    layout->addStretch();
}

} // namespace config
