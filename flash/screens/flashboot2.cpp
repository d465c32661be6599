#include "flash/screens/flashboot2.h"

#include <QLabel>
#include <QVBoxLayout>

namespace flash {

FlashBoot2::FlashBoot2(core::Services &services, QWidget *parent) : QWidget(parent), m_services(services)
{
    setObjectName(QStringLiteral("flashboot2"));
    setWindowTitle(QStringLiteral("Flash Boot 2"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(windowTitle(), this));
    layout->addStretch();
}

} // namespace flash
