#pragma once

#include <QDialog>

namespace app {

// `about`: centred lines in dark blue on silver; closed with its close box.
class About : public QDialog {
    Q_OBJECT
public:
    explicit About(QWidget *parent = nullptr);
    // Shows the screen modally, centred on the main window.
    void showCentred(const QWidget &main);
    void centreOn(const QWidget &main);
};

} // namespace app
