#include "config/screens/pgmform.h"

#include <QLabel>
#include <QVBoxLayout>

namespace config {

PgmForm::PgmForm(core::Services &services, QWidget *parent) : QWidget(parent), m_services(services)
{
    setObjectName(QStringLiteral("pgmform"));
    setWindowTitle(QStringLiteral("Form1"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(windowTitle(), this));
    layout->addStretch();
}

} // namespace config
