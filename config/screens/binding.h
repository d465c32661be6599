#pragma once

#include "config/settingtable.h"

#include <QHash>
#include <QObject>

#include <functional>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace config {

// A screen's binding table: each widget is made for one setting of the name
// table (object name = control name, caption, length, digit filter, disabled
// and hidden cells) and kept in step with the model both ways. Views only wire
// widgets to the model; the model never knows a widget.
class Binder : public QObject {
    Q_OBJECT
public:
    Binder(Settings &settings, QString screen, QObject *parent);

    QLineEdit *text(const QString &control, QWidget *parent);
    // withCaption false: a cell under a column heading, without its own text.
    QCheckBox *check(const QString &control, QWidget *parent, bool withCaption = true);
    QRadioButton *option(const QString &control, QWidget *parent);
    // A label with the setting's caption.
    QLabel *caption(const QString &control, QWidget *parent);

    // Model to widgets, for every bound setting (and the Start fields' locks).
    void load();
    QWidget *widget(const QString &control) const { return m_widgets.value(control); }
    int count() const { return static_cast<int>(m_widgets.size()); }

    // Text that reaches a field by another route than typing (a paste): only
    // its digits are kept, then the field's length applies.
    static QString digitsOnly(const QString &text, int maxLength);

Q_SIGNALS:
    // A text setting changed through its widget (typed, pasted or loaded).
    void textChanged(const QString &control, const QString &text);
    // The user changed a setting through a widget (not by load()).
    void edited();

private:
    const SettingInfo &info(const QString &control) const;
    void place(const SettingInfo &i, QWidget *w);
    void onCheck(const SettingInfo &i, bool on);
    void loadOne(const SettingInfo &i, QWidget *w);

    Settings &m_settings;
    QString m_screen;
    QHash<QString, QWidget *> m_widgets;
    QHash<QString, QButtonGroup *> m_groups;
    bool m_loading = false;
};

// The screen's content area, scrolling when the screen is smaller than its
// fields.
QWidget *scrolledContent(QWidget *screen);

} // namespace config
