#include "flash/screens/flashdl.h"

#include <QLabel>
#include <QVBoxLayout>

namespace flash {

FlashDl::FlashDl(core::Services &services, QWidget *parent) : QWidget(parent), m_services(services)
{
    setObjectName(QStringLiteral("flashdl"));
    setWindowTitle(QStringLiteral("Flash Download"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(windowTitle(), this));
    layout->addStretch();
}

} // namespace flash
