#include "config/screens/wiegand.h"

#include "config/screens/binding.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace config {

WiegandScreen::WiegandScreen(screens::Services &services, QWidget *parent) : QWidget(parent), m_services(services)
{
    setObjectName(QStringLiteral("wiegand"));
    setWindowTitle(QStringLiteral("Wiegand Settings"));
    m_binder = new Binder(services.settings, QStringLiteral("wiegand"), this);
    Binder &b = *m_binder;
    QWidget *content = scrolledContent(this);
    auto *grid = new QGridLayout(content);
    // Narrow margins: the whole screen fits the main window's starting size.
    grid->setContentsMargins(4, 4, 4, 4);
    auto heading = [](const char *text, QWidget *parent) { return new QLabel(QLatin1String(text), parent); };
    auto t1 = [](int i) { return QStringLiteral("Text1(%1)").arg(i); };

    const char *fields[] = {"Site", "ID", "Issue"};
    for (int f = 1; f <= 3; ++f) {
        const WiegandFormatIndex &x = wiegandFormat(f);
        auto *box = new QGroupBox(QStringLiteral("Wie/Prox Format # %1").arg(f), content);
        auto *g = new QGridLayout(box);
        const char *columns[] = {"Start", "Length", "Lsb", "Chars"};
        for (int c = 0; c < 4; ++c)
            g->addWidget(heading(columns[c], box), 0, c + 1);
        for (int F = 0; F < 3; ++F) {
            g->addWidget(heading(fields[F], box), F + 1, 0);
            g->addWidget(b.text(t1(x.start[F]), box), F + 1, 1);
            g->addWidget(b.text(t1(x.length[F]), box), F + 1, 2);
            g->addWidget(b.check(QStringLiteral("Check%1").arg(x.lsb[F]), box, false), F + 1, 3);
            g->addWidget(b.text(t1(x.chars[F]), box), F + 1, 4);
        }
        g->addWidget(heading("Total Bits", box), 4, 0);
        g->addWidget(b.text(t1(x.totalBits), box), 4, 1);
        grid->addWidget(box, 0, f - 1);
    }

    const char *sets[] = {"Wie/Prox/Mag Mask 1", "Wie/Prox Mask 2", "Wie/Prox Mask 3"};
    for (int set = 0; set < 3; ++set) {
        auto *box = new QGroupBox(QLatin1String(sets[set]), content);
        auto *g = new QGridLayout(box);
        g->addWidget(heading("Const", box), 0, 1);
        g->addWidget(heading("Start", box), 0, 2);
        g->addWidget(heading("Len/Value", box), 0, 3);
        for (int k = 0; k < 5; ++k) {
            const int i = 5 * set + k;
            g->addWidget(new QLabel(QStringLiteral("Mask %1").arg(k + 1), box), k + 1, 0);
            g->addWidget(b.check(QStringLiteral("Check%1").arg(wiegandConstCheck(set, k)), box, false), k + 1, 1);
            g->addWidget(b.text(QStringLiteral("Text2(%1)").arg(i), box), k + 1, 2);
            g->addWidget(b.text(QStringLiteral("Text3(%1)").arg(i), box), k + 1, 3);
        }
        grid->addWidget(box, 1, set);
    }
    grid->addWidget(
        new QLabel(QStringLiteral("For Magstripe Masking, use Wie/Prox/Mag Mask 1 settings above"), content), 2, 0, 1,
        3);

    auto *mag = new QGroupBox(QStringLiteral("Magstripe"), content);
    auto *m = new QGridLayout(mag);
    m->addWidget(b.caption(QStringLiteral("Text4"), mag), 0, 0);
    m->addWidget(b.text(QStringLiteral("Text4"), mag), 0, 1);
    m->addWidget(b.caption(QStringLiteral("Text5"), mag), 1, 0);
    m->addWidget(b.text(QStringLiteral("Text5"), mag), 1, 1);
    for (int c = 25; c <= 30; ++c)
        m->addWidget(b.check(QStringLiteral("Check%1").arg(c), mag), (c - 25) % 3, 2 + (c - 25) / 3);
    grid->addWidget(mag, 3, 0, 1, 3);
    grid->setRowStretch(4, 1);
    for (int column = 0; column < 3; ++column)
        grid->setColumnStretch(column, 1);
}

void WiegandScreen::refresh() { m_binder->load(); }

} // namespace config
