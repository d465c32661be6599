#include "app/about.h"

#include <QLabel>
#include <QVBoxLayout>

namespace app {

About::About(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("about"));
    setWindowTitle(QStringLiteral("About"));
    setModal(true);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(192, 192, 192));
    p.setColor(QPalette::WindowText, QColor(0, 0, 64));
    setPalette(p);
    auto *layout = new QVBoxLayout(this);
    for (const char *line :
         {"Tarnic Flash Utility", "Version 01.00", "Service tool for Tarnic door-access controllers"}) {
        auto *label = new QLabel(QString::fromLatin1(line), this);
        label->setAlignment(Qt::AlignCenter);
        label->setPalette(p);
        layout->addWidget(label);
    }
    setFixedSize(sizeHint().expandedTo(QSize(360, 140)));
}

void About::centreOn(const QWidget &main)
{
    const QRect m = main.frameGeometry();
    move(m.left() + (m.width() - width()) / 2, m.top() + (m.height() - height()) / 2);
}

void About::showCentred(const QWidget &main)
{
    centreOn(main);
    exec();
}

} // namespace app
