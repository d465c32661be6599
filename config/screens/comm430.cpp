#include "config/screens/comm430.h"

#include "config/screens/binding.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace config {

Comm430Screen::Comm430Screen(screens::Services &services, QWidget *parent) : QWidget(parent), m_services(services)
{
    setObjectName(QStringLiteral("comm430"));
    setWindowTitle(QStringLiteral("Comm 430 Settings"));
    m_binder = new Binder(services.settings, QStringLiteral("comm430"), this);
    Binder &b = *m_binder;
    QWidget *content = scrolledContent(this);
    auto *grid = new QGridLayout(content);
    const char *ports[] = {"RS232 Port Settings", "RS422 Port Settings"};
    for (int p = 0; p < 2; ++p) {
        auto *box = new QGroupBox(QLatin1String(ports[p]), content);
        auto *row = new QHBoxLayout(box);
        auto *baud = new QGroupBox(QStringLiteral("Baud Rate"), box);
        auto *baudLayout = new QVBoxLayout(baud);
        for (int r = 0; r < 8; ++r)
            baudLayout->addWidget(b.option(comm430BaudControl(p, r), baud));
        auto *parity = new QGroupBox(QStringLiteral("Parity"), box);
        auto *parityLayout = new QVBoxLayout(parity);
        for (int q = 0; q < 3; ++q)
            parityLayout->addWidget(b.option(comm430ParityControl(p, q), parity));
        parityLayout->addStretch();
        row->addWidget(baud);
        row->addWidget(parity);
        grid->addWidget(box, 0, p);
    }
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(2, 1);
}

void Comm430Screen::refresh() { m_binder->load(); }

} // namespace config
