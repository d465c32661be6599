#include "config/screens/binding.h"

#include "core/widgets/digitfilter.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <utility>

namespace config {

Binder::Binder(Settings &settings, QString screen, QObject *parent)
    : QObject(parent), m_settings(settings), m_screen(std::move(screen))
{}

const SettingInfo &Binder::info(const QString &control) const
{
    const SettingInfo *i = findSetting(m_screen + QLatin1Char('.') + control);
    Q_ASSERT_X(i, "Binder", "control missing from the setting table");
    return *i;
}

void Binder::place(const SettingInfo &i, QWidget *w)
{
    w->setObjectName(i.control);
    w->setToolTip(i.context.isEmpty() ? i.caption : i.context + QStringLiteral(" / ") + i.caption);
    if (i.disabled)
        w->setEnabled(false);
    if (i.hidden)
        w->setVisible(false);
    m_widgets.insert(i.control, w);
}

QString Binder::digitsOnly(const QString &text, int maxLength)
{
    QString out;
    for (QChar c : text)
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            out.append(c);
    return maxLength > 0 ? out.left(maxLength) : out;
}

QLineEdit *Binder::text(const QString &control, QWidget *parent)
{
    const SettingInfo &i = info(control);
    auto *edit = new QLineEdit(parent);
    place(i, edit);
    if (i.maxLength > 0) {
        edit->setMaxLength(i.maxLength);
        edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QString(i.maxLength + 2, QLatin1Char('0'))) + 8);
    } else {
        edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 8);
    }
    core::DigitFilter::install(edit);
    connect(edit, &QLineEdit::textEdited, this, [this, edit, &i](const QString &typed) {
        const QString digits = digitsOnly(typed, i.maxLength);
        if (digits != typed)
            edit->setText(digits);
        i.text(m_settings) = digits;
        Q_EMIT edited();
    });
    connect(edit, &QLineEdit::textChanged, this, [this, &i](const QString &t) { Q_EMIT textChanged(i.control, t); });
    loadOne(i, edit);
    return edit;
}

QCheckBox *Binder::check(const QString &control, QWidget *parent, bool withCaption)
{
    const SettingInfo &i = info(control);
    auto *box = new QCheckBox(withCaption ? i.caption : QString(), parent);
    place(i, box);
    connect(box, &QCheckBox::toggled, this, [this, &i](bool on) { onCheck(i, on); });
    loadOne(i, box);
    return box;
}

void Binder::onCheck(const SettingInfo &i, bool on)
{
    if (m_loading)
        return;
    i.check(m_settings) = on;
    if (const ConstPair *pair = constPairForCheck(i.name)) {
        applyConst(m_settings, *pair, on);
        const SettingInfo *start = findSetting(pair->start);
        if (QWidget *w = m_widgets.value(start->control))
            loadOne(*start, w);
    }
    Q_EMIT edited();
}

QRadioButton *Binder::option(const QString &control, QWidget *parent)
{
    const SettingInfo &i = info(control);
    auto *button = new QRadioButton(i.caption, parent);
    place(i, button);
    QButtonGroup *&group = m_groups[i.groupName];
    if (!group)
        group = new QButtonGroup(this);
    group->addButton(button, i.member);
    connect(button, &QRadioButton::toggled, this, [this, &i](bool on) {
        if (!m_loading && on) {
            i.group(m_settings) = i.member;
            Q_EMIT edited();
        }
    });
    loadOne(i, button);
    return button;
}

QLabel *Binder::caption(const QString &control, QWidget *parent)
{
    const SettingInfo &i = info(control);
    auto *label = new QLabel(i.caption, parent);
    if (i.hidden)
        label->setVisible(false);
    return label;
}

void Binder::loadOne(const SettingInfo &i, QWidget *w)
{
    const bool was = m_loading;
    m_loading = true;
    switch (i.kind) {
    case SettingKind::Text: {
        auto *edit = static_cast<QLineEdit *>(w);
        if (edit->text() != i.text(m_settings))
            edit->setText(i.text(m_settings));
        if (const ConstPair *pair = constPairForStart(i.name))
            edit->setEnabled(!startLocked(m_settings, *pair));
        break;
    }
    case SettingKind::Check:
        static_cast<QCheckBox *>(w)->setChecked(i.check(m_settings));
        break;
    case SettingKind::Option: {
        auto *button = static_cast<QRadioButton *>(w);
        const bool on = i.group(m_settings) == i.member;
        if (!on && button->isChecked()) {
            // Nothing selected in the group: uncheck without a replacement.
            QButtonGroup *g = button->group();
            g->setExclusive(false);
            button->setChecked(false);
            g->setExclusive(true);
        } else if (on) {
            button->setChecked(true);
        }
        break;
    }
    }
    m_loading = was;
}

void Binder::load()
{
    for (auto it = m_widgets.cbegin(); it != m_widgets.cend(); ++it)
        loadOne(info(it.key()), it.value());
}

QWidget *scrolledContent(QWidget *screen)
{
    auto *outer = new QVBoxLayout(screen);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *scroll = new QScrollArea(screen);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    // Tab goes to the fields, not to the area around them.
    scroll->setFocusPolicy(Qt::NoFocus);
    outer->addWidget(scroll);
    auto *content = new QWidget(scroll);
    scroll->setWidget(content);
    return content;
}

} // namespace config
