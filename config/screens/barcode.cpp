#include "config/screens/barcode.h"

#include "config/screens/binding.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace config {

BarcodeScreen::BarcodeScreen(screens::Services &services, QWidget *parent) : QWidget(parent), m_services(services)
{
    setObjectName(QStringLiteral("barcode"));
    setWindowTitle(QStringLiteral("Barcode Settings"));
    m_binder = new Binder(services.settings, QStringLiteral("barcode"), this);
    Binder &b = *m_binder;
    QWidget *content = scrolledContent(this);
    auto *outer = new QVBoxLayout(content);

    // The symbology table: Enbl CD XB Len "# Bars", then five under "Transmit",
    // five prefix and five suffix characters.
    auto *table = new QGridLayout;
    table->setHorizontalSpacing(4);
    auto heading = [content](const QString &text) { return new QLabel(text, content); };
    const int lenCol = 4;
    const int barsCol = 5;
    const int transmitCol = 6;
    const int prefixCol = 12;
    const int suffixCol = 18;
    table->addWidget(heading(QStringLiteral("Enbl")), 1, 1);
    table->addWidget(heading(QStringLiteral("CD")), 1, 2);
    table->addWidget(heading(QStringLiteral("XB")), 1, 3);
    table->addWidget(heading(QStringLiteral("Len")), 1, lenCol);
    table->addWidget(heading(QStringLiteral("# Bars")), 1, barsCol);
    table->addWidget(heading(QStringLiteral("Transmit")), 0, transmitCol, 1, 5, Qt::AlignHCenter);
    const char *transmit[] = {"CD", "SS", "Dir", "Pre", "Suf"};
    for (int c = 0; c < 5; ++c)
        table->addWidget(heading(QLatin1String(transmit[c])), 1, transmitCol + c);
    table->addWidget(heading(QStringLiteral("Prefix")), 1, prefixCol, 1, 5, Qt::AlignHCenter);
    table->addWidget(heading(QStringLiteral("Suffix")), 1, suffixCol, 1, 5, Qt::AlignHCenter);
    for (int r = 0; r < kBarcodeRows; ++r) {
        const int row = r + 2;
        auto *caption = new QLabel(barcodeRowCaption(r), content);
        caption->setVisible(r != kHiddenBarcodeRow);
        table->addWidget(caption, row, 0);
        auto cell = [&](int column, int gridColumn) {
            table->addWidget(b.check(QStringLiteral("Check1(%1)").arg(8 * r + column), content, false), row,
                             gridColumn);
        };
        cell(Enbl, 1);
        cell(CD, 2);
        cell(XB, 3);
        table->addWidget(b.text(QStringLiteral("Text1(%1)").arg(r), content), row, lenCol);
        table->addWidget(b.text(QStringLiteral("Text3(%1)").arg(r), content), row, barsCol);
        for (int c = TransmitCD; c <= Suf; ++c)
            cell(c, transmitCol + c - TransmitCD);
        // The prefix before the suffix: the order they are made in is the Tab order.
        for (const auto &[control, column] : {std::pair{"Text2", prefixCol}, std::pair{"Text4", suffixCol}})
            for (int j = 0; j < 5; ++j)
                table->addWidget(b.text(QStringLiteral("%1(%2)").arg(QLatin1String(control)).arg(5 * r + j), content),
                                 row, column + j);
    }
    // Cells pack to the left; the spare width goes past the last column.
    table->setColumnStretch(suffixCol + 5, 1);
    table->setColumnMinimumWidth(prefixCol - 1, 12);
    table->setColumnMinimumWidth(suffixCol - 1, 12);
    outer->addLayout(table);

    auto *lower = new QHBoxLayout;
    for (int set = 0; set < 2; ++set) {
        auto *box = new QGroupBox(QStringLiteral("Mask # %1").arg(set + 1), content);
        auto *g = new QGridLayout(box);
        g->addWidget(new QLabel(QStringLiteral("Const"), box), 0, 1);
        g->addWidget(new QLabel(QStringLiteral("Start"), box), 0, 2);
        g->addWidget(new QLabel(QStringLiteral("Len/Value"), box), 0, 3);
        for (int k = 0; k < 5; ++k) {
            const int i = barcodeMaskIndex(set, k);
            g->addWidget(new QLabel(QStringLiteral("Mask %1").arg(k + 1), box), k + 1, 0);
            g->addWidget(b.check(QStringLiteral("Check4(%1)").arg(i), box, false), k + 1, 1);
            g->addWidget(b.text(QStringLiteral("Text5(%1)").arg(i), box), k + 1, 2);
            g->addWidget(b.text(QStringLiteral("Text7(%1)").arg(i), box), k + 1, 3);
        }
        const QString length = QStringLiteral("Text8(%1)").arg(set);
        g->addWidget(b.caption(length, box), 6, 0);
        g->addWidget(b.text(length, box), 6, 2);
        lower->addWidget(box);
    }

    auto *other = new QVBoxLayout;
    other->addWidget(b.check(QStringLiteral("Check3"), content));
    other->addWidget(b.check(QStringLiteral("Check2"), content));
    auto *timeout = new QHBoxLayout;
    timeout->addWidget(b.caption(QStringLiteral("Text6"), content));
    timeout->addWidget(b.text(QStringLiteral("Text6"), content));
    timeout->addStretch();
    other->addLayout(timeout);
    auto *priority = new QGroupBox(QStringLiteral("Prioritiy"), content);
    auto *p = new QVBoxLayout(priority);
    for (const char *c : {"Option1(2)", "Option1(0)", "Option1(1)"})
        p->addWidget(b.option(QLatin1String(c), priority));
    other->addWidget(priority);
    other->addStretch();
    lower->addLayout(other);
    lower->addStretch();
    outer->addLayout(lower);
    outer->addStretch();
}

void BarcodeScreen::refresh() { m_binder->load(); }

} // namespace config
