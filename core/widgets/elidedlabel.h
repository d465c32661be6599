#pragma once

#include <QLabel>

namespace core {

// One line of text that neither wraps nor asks for room: when the line is too
// short for it, the start gives way (so its end, such as "site.tfp, changed",
// stays in sight) and the tooltip shows it whole.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget *parent = nullptr);
    void setFullText(const QString &text);
    const QString &fullText() const { return m_full; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void elide();

    QString m_full;
};

} // namespace core
