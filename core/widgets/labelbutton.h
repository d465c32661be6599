#pragma once

#include <QLabel>

namespace core {

// The colour every action caption is drawn in, outside the command menu.
inline const QColor kActionColour(0, 0, 160);

// A caption that acts as a button on a click, as the controller tools have
// always drawn their actions. It looks like one: the action colour, a
// pointing hand, underlined while the mouse is over it or it has the
// keyboard focus (Tab reaches it; Space and Enter press it).
class LabelButton : public QLabel {
    Q_OBJECT
public:
    explicit LabelButton(const QString &caption, QWidget *parent = nullptr);
    // A disabled caption keeps the style's grey.
    void setTextColor(const QColor &colour);
    QColor textColor() const { return m_colour; }
    // Still answers a click, but is not offered as an action: plain text,
    // no hand, not in the Tab order (headings, values, the link status).
    void setQuiet();
    // Keys that press it while it is enabled, named in its tooltip. scope is
    // where they work: the caption's window (Qt::WindowShortcut) or a
    // screen and its fields (Qt::WidgetWithChildrenShortcut).
    void setShortcut(const QKeySequence &keys, QWidget *scope, Qt::ShortcutContext context);

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void updateUnderline();

    QColor m_colour;
    bool m_quiet = false;
    bool m_hovered = false;
};

} // namespace core
