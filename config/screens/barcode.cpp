#include "config/screens/barcode.h"

#include <QLabel>
#include <QVBoxLayout>

namespace config {

BarcodeScreen::BarcodeScreen(core::Services &services, QWidget *parent) : QWidget(parent), m_services(services)
{
    setObjectName(QStringLiteral("barcode"));
    setWindowTitle(QStringLiteral("Barcode Settings"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(windowTitle(), this));
    layout->addStretch();
}

} // namespace config
