#pragma once

#include <QLabel>

namespace core {

// A caption that acts as a button on a click, as the controller tools have
// always drawn their actions. It takes keyboard focus so Space and Enter work.
class LabelButton : public QLabel {
    Q_OBJECT
public:
    explicit LabelButton(const QString &caption, QWidget *parent = nullptr);
    void setTextColor(const QColor &colour);
    QColor textColor() const { return m_colour; }

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QColor m_colour;
};

} // namespace core
