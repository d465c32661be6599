#include "config/screens/general.h"

#include "config/screens/binding.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace config {

GeneralScreen::GeneralScreen(screens::Services &services, QWidget *parent) : QWidget(parent), m_services(services)
{
    setObjectName(QStringLiteral("general"));
    setWindowTitle(QStringLiteral("General Settings"));
    m_binder = new Binder(services.settings, QStringLiteral("general"), this);
    Binder &b = *m_binder;
    QWidget *content = scrolledContent(this);
    // Three columns of groups fit the screen's starting size without
    // scrolling; the columns share any width the window gains.
    auto *columns = new QHBoxLayout(content);
    QVBoxLayout *column[3];
    for (QVBoxLayout *&c : column) {
        c = new QVBoxLayout;
        columns->addLayout(c, 1);
    }

    auto *reader = new QGroupBox(QStringLiteral("Reader Settings"), content);
    auto *readerLayout = new QVBoxLayout(reader);
    for (const char *c : {"Option13", "Option11", "Option10", "Option12"})
        readerLayout->addWidget(b.option(QLatin1String(c), reader));
    for (const char *c : {"Check1(0)", "Check2", "Check3", "Check4", "Check5"})
        readerLayout->addWidget(b.check(QLatin1String(c), reader));
    column[0]->addWidget(reader);

    auto *speaker = new QGroupBox(QStringLiteral("Speaker Settings"), content);
    auto *speakerLayout = new QVBoxLayout(speaker);
    auto *times = new QFormLayout;
    for (const char *c : {"Text5(0)", "Text5(1)"})
        times->addRow(b.caption(QLatin1String(c), speaker), b.text(QLatin1String(c), speaker));
    speakerLayout->addLayout(times);
    auto *tone = new QGroupBox(QStringLiteral("Tone"), speaker);
    auto *toneLayout = new QHBoxLayout(tone);
    for (const char *c : {"Option14", "Option15", "Option16"})
        toneLayout->addWidget(b.option(QLatin1String(c), tone));
    speakerLayout->addWidget(tone);
    speakerLayout->addWidget(b.check(QStringLiteral("Check6"), speaker));
    column[1]->addWidget(speaker);

    auto *levels = new QGroupBox(QStringLiteral("Programming Levels"), content);
    auto *levelsLayout = new QVBoxLayout(levels);
    for (const char *c : {"Check8(0)", "Check8(1)", "Check8(2)"})
        levelsLayout->addWidget(b.check(QLatin1String(c), levels));
    column[1]->addWidget(levels);

    auto *mode = new QGroupBox(QStringLiteral("Operating Mode"), content);
    auto *modeLayout = new QVBoxLayout(mode);
    for (const char *c : {"Option1(2)", "Option1(1)"})
        modeLayout->addWidget(b.option(QLatin1String(c), mode));
    column[0]->addWidget(mode);

    auto *lookup = new QGroupBox(QStringLiteral("Lookup Mode"), content);
    auto *lookupLayout = new QVBoxLayout(lookup);
    for (const char *c : {"Option1(3)", "Option1(5)", "Option1(4)"})
        lookupLayout->addWidget(b.option(QLatin1String(c), lookup));
    column[1]->addWidget(lookup);

    auto *standAlone = new QGroupBox(QStringLiteral("Stand Alone Settings"), content);
    auto *standLayout = new QVBoxLayout(standAlone);
    auto *sizes = new QFormLayout;
    for (const char *c : {"Text1(2)", "Text1(1)"})
        sizes->addRow(b.caption(QLatin1String(c), standAlone), b.text(QLatin1String(c), standAlone));
    standLayout->addLayout(sizes);
    for (const char *c : {"Check1(1)", "Check7(0)", "Check1(2)"})
        standLayout->addWidget(b.check(QLatin1String(c), standAlone));
    auto *entries = new QGroupBox(QStringLiteral("Available Entries in Stand Alone Mode"), standAlone);
    auto *entriesLayout = new QFormLayout(entries);
    const char *captions[3] = {"Log:", "Sorted:", "Ad Hoc:"};
    for (int i = 2; i >= 0; --i) {
        m_entries[i] = new QLabel(entries);
        m_entries[i]->setObjectName(QStringLiteral("Label1(%1)").arg(i));
        entriesLayout->addRow(new QLabel(QLatin1String(captions[i]), entries), m_entries[i]);
    }
    standLayout->addWidget(entries);
    column[2]->addWidget(standAlone);

    auto *relay = new QGroupBox(QStringLiteral("Relay / Led / Rte / Autolock settings"), content);
    auto *relayLayout = new QVBoxLayout(relay);
    for (const char *c : {"Check8(6)", "Check8(5)", "Check8(4)", "Check8(3)"})
        relayLayout->addWidget(b.check(QLatin1String(c), relay));
    auto *relayTimes = new QFormLayout;
    for (const char *c : {"Text5(4)", "Text5(3)", "Text5(2)"})
        relayTimes->addRow(b.caption(QLatin1String(c), relay), b.text(QLatin1String(c), relay));
    relayLayout->addLayout(relayTimes);
    column[2]->addWidget(relay);
    for (QVBoxLayout *c : column)
        c->addStretch();

    connect(m_binder, &Binder::textChanged, this, [this](const QString &control, const QString &text) {
        if (control == QLatin1String("Text1(2)"))
            updateEntries(text);
    });
    updateEntries(services.settings.general.Text1[2]);
}

void GeneralScreen::updateEntries(const QString &maxIdSize)
{
    // An empty or unusable size leaves the last values standing.
    const auto e = availableEntries(maxIdSize);
    if (!e)
        return;
    m_entries[2]->setText(entriesText(e->adHoc));
    m_entries[1]->setText(entriesText(e->sorted));
    m_entries[0]->setText(entriesText(e->log));
}

void GeneralScreen::refresh() { m_binder->load(); }

} // namespace config
