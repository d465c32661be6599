#include "utilities/screens/utilities.h"

#include <QLabel>
#include <QVBoxLayout>

namespace utilities {

UtilitiesScreen::UtilitiesScreen(core::Services &services, QWidget *parent) : QWidget(parent), m_services(services)
{
    setObjectName(QStringLiteral("utilities"));
    setWindowTitle(QStringLiteral("to become new utility"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(windowTitle(), this));
    layout->addStretch();
}

} // namespace utilities
