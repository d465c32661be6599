#include "loopback/screens/loopback.h"

#include "screens/journalnote.h"
#include "screens/notes.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace loopback {

namespace {
// How a test that ran ended, as the journal keeps it: a bad echo or a
// time-out fails it, as on the command line.
journal::End testEnd(Outcome outcome, const LoopbackTest &test)
{
    switch (outcome) {
    case Outcome::Completed:
        if (test.badEchoes() + test.timeouts() == 0)
            return {journal::Outcome::Ok, std::nullopt, {}, test.figures()};
        return {journal::Outcome::Failed, std::nullopt, endLine(test.charactersSent()), test.figures()};
    case Outcome::Stopped:
        return {journal::Outcome::Interrupted, std::nullopt, QStringLiteral("Stop Loopback Test"), test.figures()};
    case Outcome::Quitting:
        return {journal::Outcome::Interrupted, std::nullopt, screens::kProgramClosed, test.figures()};
    default:
        return {journal::Outcome::Failed, std::nullopt, wire::kDisconnected, test.figures()};
    }
}
} // namespace

class LoopbackScreen::ListPane final : public core::Pane {
public:
    explicit ListPane(QListWidget *list) : m_list(list) {}
    void append(const QString &line) override
    {
        m_list->addItem(line);
        m_list->scrollToBottom();
    }

private:
    QListWidget *m_list;
};

class LoopbackScreen::Caption final : public core::StatusLine {
public:
    explicit Caption(QLabel *label) : m_label(label) {}
    void setStatus(const QString &text) override { m_label->setText(text); }

private:
    QLabel *m_label;
};

LoopbackScreen::LoopbackScreen(screens::Services &services, QWidget *parent) : QWidget(parent), m_services(services)
{
    setObjectName(QStringLiteral("loopback"));
    setWindowTitle(QStringLiteral("Loopback Test"));

    auto *heading = new QLabel(QStringLiteral("5200 Series  Loopback Test"), this);
    heading->setObjectName(QStringLiteral("Label2"));
    QFont big = heading->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.4);
    heading->setFont(big);

    m_start = new QPushButton(QStringLiteral("Start Loopback Test from User Code"), this);
    m_start->setObjectName(QStringLiteral("Command1"));
    auto *stopButton = new QPushButton(QStringLiteral("Stop Loopback Test"), this);
    stopButton->setObjectName(QStringLiteral("Command3"));
    auto *clearButton = new QPushButton(QStringLiteral("Clear List"), this);
    clearButton->setObjectName(QStringLiteral("Command4"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("List1"));
    // Its design text gives way to an empty caption when the screen loads.
    m_progress = new QLabel(QString(), this);
    m_progress->setObjectName(QStringLiteral("Label1"));

    m_listPane = std::make_unique<ListPane>(m_list);
    m_caption = std::make_unique<Caption>(m_progress);
    m_test = std::make_unique<LoopbackTest>(services.link, *m_listPane, *m_caption);

    connect(m_start, &QPushButton::clicked, this, &LoopbackScreen::start);
    connect(stopButton, &QPushButton::clicked, this, &LoopbackScreen::stop);
    connect(clearButton, &QPushButton::clicked, this, &LoopbackScreen::clearList);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_start);
    buttons->addWidget(stopButton);
    buttons->addWidget(clearButton);
    buttons->addStretch();
    layout->addLayout(buttons);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_progress);
    m_journalNote = new screens::JournalNote(this);
    layout->addWidget(m_journalNote);
}

LoopbackScreen::~LoopbackScreen() = default;

void LoopbackScreen::start()
{
    // One test at a time; the button is disabled meanwhile, this catches a
    // click already queued.
    if (m_test->running())
        return;
    if (m_services.link.busy()) {
        m_services.messages.message(QStringLiteral("The link is in use by another operation"));
        return;
    }
    m_list->clear();
    m_start->setEnabled(false);
    const bool connected = m_services.link.isConnected();
    journal::Operation recorded =
        m_services.journal.begin(journal::onLink(m_services.link, QStringLiteral("loopback"),
                                                 {QStringLiteral("--passes"), QString::number(m_passes)}),
                                 m_journalNote->note());
    const Outcome outcome = m_test->run(m_passes);
    recorded.end(connected
                     ? testEnd(outcome, *m_test)
                     : journal::End{journal::Outcome::LinkNotOpened, std::nullopt, screens::kNotConnectedNote, {}});
    // The program may be quitting and the widgets already hidden; the button
    // itself lives as long as the screen.
    m_start->setEnabled(true);
}

void LoopbackScreen::stop() { m_test->requestStop(); }

void LoopbackScreen::clearList() { m_list->clear(); }

} // namespace loopback
