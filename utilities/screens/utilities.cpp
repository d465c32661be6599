#include "utilities/screens/utilities.h"

#include "core/widgets/digitfilter.h"
#include "core/widgets/labelbutton.h"
#include "screens/journalnote.h"
#include "utilities/formats.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace utilities {

namespace {
// Label1 captions by index; the memory values start at "00000".
const char *const kCaptions[25] = {
    "Get Firmware Identification",
    "Ad Hoc",
    "Ad Hoc Delete",
    "Ad Hoc Add",
    "Current Date/Time:",
    "Set Controller Time",
    "Get Controller Time",
    "Show Memory Usage",
    "Main",
    "Log",
    "Avail",
    "Used",
    "00000",
    "00000",
    "00000",
    "00000",
    "00000",
    "00000",
    "Download Access List",
    "Upload Access List",
    "Download Schedules",
    "Upload Schedules",
    "Upload Log - NW",
    "Status",
    "",
};
// The labels that start an exchange, greyed while one runs.
constexpr int kActionLabels[] = {0, 2, 3, 5, 6, 7, 18, 19, 20, 21};

QString indexed(const char *control, int index)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(control)).arg(index);
}
} // namespace

UtilitiesScreen::UtilitiesScreen(screens::Services &services, QWidget *parent) : QWidget(parent), m_services(services)
{
    setObjectName(QStringLiteral("utilities"));
    setWindowTitle(QStringLiteral("to become new utility"));

    for (int i = 0; i < 25; ++i) {
        m_label[i] = new core::LabelButton(QString::fromLatin1(kCaptions[i]), this);
        m_label[i]->setObjectName(indexed("Label1", i));
        connect(m_label[i], &core::LabelButton::clicked, this, [this, i] { m_clicks->click(i); });
    }
    for (int i = 0; i < 3; ++i) {
        m_text1[i] = new QLineEdit(this);
        m_text1[i]->setObjectName(indexed("Text1", i));
    }
    // Headings and values answer a click with the wake-up only: they are not
    // offered as actions.
    for (int i = 0; i < 25; ++i)
        if (std::ranges::find(kActionLabels, i) == std::end(kActionLabels))
            m_label[i]->setQuiet();
    m_text1[0]->setReadOnly(true);
    m_text1[1]->setReadOnly(true);
    m_text2 = new QLineEdit(this);
    m_text2->setObjectName(QStringLiteral("Text2"));
    m_text2->setMaximumWidth(40);
    core::DigitFilter::install(m_text2);
    core::dropControlCharacters(m_text1[2]);
    const char *const optionCaptions[4] = {"Add", "Subtract", "Sorted", "Ad Hoc"};
    for (int i = 0; i < 4; ++i) {
        m_option[i] = new QRadioButton(QString::fromLatin1(optionCaptions[i]), this);
        m_option[i]->setObjectName(indexed("Option1", i));
    }
    auto *direction = new QButtonGroup(this);
    direction->addButton(m_option[0]);
    direction->addButton(m_option[1]);
    auto *target = new QButtonGroup(this);
    target->addButton(m_option[2]);
    target->addButton(m_option[3]);
    const char *const checkCaptions[3] = {"File includes schedule", "Auto clear", "Incl Deleted"};
    for (int i = 0; i < 3; ++i) {
        m_check[i] = new QCheckBox(QString::fromLatin1(checkCaptions[i]), this);
        m_check[i]->setObjectName(indexed("Check1", i));
    }
    m_text4 = new QPlainTextEdit(this);
    m_text4->setObjectName(QStringLiteral("Text4"));
    m_text4->setReadOnly(true);
    m_text4->setMaximumHeight(80);
    m_label3 = new QLabel(this);
    m_label3->setObjectName(QStringLiteral("Label3"));
    m_label4 = new QLabel(this);
    m_label4->setObjectName(QStringLiteral("Label4"));
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("Note"));
    m_note->setWordWrap(true);
    auto *journalNote = new screens::JournalNote(this);
    m_command1 = new QPushButton(QStringLiteral("HS test"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command2 = new QPushButton(QStringLiteral("Sorted test file"), this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(1000);

    // Layout: the single exchanges on top, the memory grid, the transfers,
    // the status line at the bottom.
    auto *top = new QVBoxLayout(this);
    top->addWidget(m_label[4]);
    auto *single = new QGridLayout;
    single->addWidget(m_label[0], 0, 0);
    single->addWidget(m_text1[0], 0, 1, 1, 3);
    single->addWidget(m_label[6], 1, 0);
    single->addWidget(m_text1[1], 1, 1, 1, 3);
    single->addWidget(m_label[5], 2, 0);
    auto *hours = new QHBoxLayout;
    auto *hoursCaption = new QLabel(QStringLiteral("Hours"), this);
    hours->addWidget(hoursCaption);
    hours->addWidget(m_text2);
    hours->addWidget(m_option[0]);
    hours->addWidget(m_option[1]);
    hours->addStretch();
    single->addLayout(hours, 2, 1, 1, 3);
    single->addWidget(m_label[3], 3, 0);
    single->addWidget(m_label[2], 3, 1);
    single->addWidget(m_text1[2], 3, 2, 1, 2);
    top->addLayout(single);

    auto *memory = new QGridLayout;
    memory->addWidget(m_label[7], 0, 0);
    memory->addWidget(m_label[1], 0, 1);
    memory->addWidget(m_label[8], 0, 2);
    memory->addWidget(m_label[9], 0, 3);
    memory->addWidget(m_label[10], 1, 0);
    memory->addWidget(m_label[12], 1, 1);
    memory->addWidget(m_label[15], 1, 2);
    memory->addWidget(m_label[14], 1, 3);
    memory->addWidget(m_label[11], 2, 0);
    memory->addWidget(m_label[13], 2, 1);
    memory->addWidget(m_label[17], 2, 2);
    memory->addWidget(m_label[16], 2, 3);
    top->addLayout(memory);

    auto *transfers = new QGridLayout;
    transfers->addWidget(m_label[18], 0, 0);
    transfers->addWidget(m_label[19], 0, 1);
    transfers->addWidget(m_label[20], 1, 0);
    transfers->addWidget(m_label[21], 1, 1);
    transfers->addWidget(m_label[22], 2, 0);
    transfers->addWidget(m_option[3], 3, 0);
    transfers->addWidget(m_option[2], 3, 1);
    transfers->addWidget(m_check[0], 4, 0);
    transfers->addWidget(m_check[1], 4, 1);
    transfers->addWidget(m_check[2], 5, 0);
    auto *times = new QHBoxLayout;
    times->addWidget(new QLabel(QStringLiteral("Start"), this));
    times->addWidget(m_label3);
    times->addWidget(new QLabel(QStringLiteral("End"), this));
    times->addWidget(m_label4);
    times->addStretch();
    transfers->addLayout(times, 5, 1);
    transfers->addWidget(m_command1, 6, 0);
    transfers->addWidget(m_command2, 6, 1);
    top->addLayout(transfers);
    top->addWidget(m_text4);
    top->addWidget(m_label[23]);
    m_label[24]->setMinimumWidth(300);
    top->addWidget(m_label[24]);
    top->addWidget(m_note);
    top->addWidget(journalNote);
    top->addStretch();

    // Tab follows the screen down, each row left to right.
    QWidget *const order[] = {m_label[0],  m_text1[0],  m_label[6],  m_text1[1],  m_label[5],  m_text2,
                              m_option[0], m_option[1], m_label[3],  m_label[2],  m_text1[2],  m_label[7],
                              m_label[18], m_label[19], m_label[20], m_label[21], m_option[3], m_option[2],
                              m_check[0],  m_check[1],  m_check[2],  m_command1,  m_command2,  m_text4};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    // The frequent exchanges have keys of their own.
    for (const auto &[label, key] : {std::pair{0, Qt::Key_I}, std::pair{6, Qt::Key_T}, std::pair{7, Qt::Key_M}})
        m_label[label]->setShortcut(QKeySequence(Qt::CTRL | key), this, Qt::WidgetWithChildrenShortcut);

    m_actions =
        std::make_unique<Actions>(services.link, static_cast<core::StatusLine &>(*this), static_cast<Display &>(*this));
    m_actions->onBusy = [this](bool busy) { setBusy(busy); };
    m_clicks = std::make_unique<Clicks>(*m_actions, services.utilities, services.files);
    m_clicks->recordInto(services.journal, journalNote->note());

    // The widgets keep the model in step; a click hands the actions what it holds.
    UtilitiesSettings &model = services.utilities;
    connect(m_text1[2], &QLineEdit::textChanged, this, [&model](const QString &t) { model.adHocId = t; });
    connect(m_text2, &QLineEdit::textChanged, this, [&model](const QString &t) { model.hours = t; });
    connect(m_option[0], &QRadioButton::toggled, this, [&model](bool on) { model.add = on; });
    connect(m_option[3], &QRadioButton::toggled, this, [&model](bool on) { model.adHoc = on; });
    connect(m_check[0], &QCheckBox::toggled, this, [&model](bool on) { model.includesSchedule = on; });
    connect(m_check[1], &QCheckBox::toggled, this, [&model](bool on) { model.autoClear = on; });
    connect(m_check[2], &QCheckBox::toggled, this, [&model](bool on) { model.inclDeleted = on; });
    connect(m_command1, &QPushButton::clicked, this, [this] { m_clicks->hsTest(); });
    connect(m_command2, &QPushButton::clicked, this, [this] { m_clicks->writeSortedTestFile(); });
    connect(m_timer1, &QTimer::timeout, this, &UtilitiesScreen::tick);

    // Load: the result fields and the status line start empty, the hours at "00".
    model.adHocId.clear();
    model.hours = QStringLiteral("00");
    loadFromModel();
    m_timer1->start();
    tick();
}

UtilitiesScreen::~UtilitiesScreen() = default;

void UtilitiesScreen::loadFromModel()
{
    const UtilitiesSettings &model = m_services.utilities;
    m_text1[2]->setText(model.adHocId);
    m_text2->setText(model.hours);
    m_option[model.add ? 0 : 1]->setChecked(true);
    m_option[model.adHoc ? 3 : 2]->setChecked(true);
    m_check[0]->setChecked(model.includesSchedule);
    m_check[1]->setChecked(model.autoClear);
    m_check[2]->setChecked(model.inclDeleted);
}

void UtilitiesScreen::showEvent(QShowEvent *event)
{
    // Start-up fills the model after the screens exist; show what it holds.
    loadFromModel();
    QWidget::showEvent(event);
}

void UtilitiesScreen::tick() { m_label[4]->setText(clockCaption(QDateTime::currentDateTime())); }

void UtilitiesScreen::setStatus(const QString &text)
{
    m_label[24]->setText(text);
    // Progress counts must show while the transfer runs.
    if (m_label[24]->isVisible())
        m_label[24]->repaint();
}

void UtilitiesScreen::showIdentification(const QString &text) { m_text1[0]->setText(text); }

void UtilitiesScreen::showControllerTime(const QString &text) { m_text1[1]->setText(text); }

void UtilitiesScreen::showMemoryUsage(const MemoryUsage &usage)
{
    m_label[12]->setText(usage.adHocAvailable);
    m_label[13]->setText(usage.adHocUsed);
    m_label[14]->setText(usage.logAvailable);
    m_label[15]->setText(usage.mainAvailable);
    m_label[16]->setText(usage.logUsed);
    m_label[17]->setText(usage.mainUsed);
}

void UtilitiesScreen::showTransferStart(const QString &pcTime) { m_label3->setText(pcTime); }

void UtilitiesScreen::showTransferEnd(const QString &pcTime) { m_label4->setText(pcTime); }

void UtilitiesScreen::showHsTest(const QString &text) { m_text4->setPlainText(text); }

void UtilitiesScreen::showNote(const QString &text) { m_note->setText(text); }

void UtilitiesScreen::setBusy(bool busy)
{
    for (const int i : kActionLabels)
        m_label[i]->setEnabled(!busy);
    m_command1->setEnabled(!busy);
}

} // namespace utilities
