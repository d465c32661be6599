#pragma once

#include "screens/services.h"

#include <QWidget>

class QLabel;

namespace config {

class Binder;

// `general`: operating mode, reader type, speaker, stand-alone and relay
// settings, and the available stand-alone entries for the chosen ID size.
class GeneralScreen : public QWidget {
    Q_OBJECT
public:
    GeneralScreen(screens::Services &services, QWidget *parent = nullptr);
    // Shows the model's current values.
    void refresh();

private:
    void updateEntries(const QString &maxIdSize);

    screens::Services &m_services;
    Binder *m_binder = nullptr;
    QLabel *m_entries[3] = {}; // Label1(0) Log, (1) Sorted, (2) Ad Hoc
};

} // namespace config
