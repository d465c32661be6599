#include "flash/screens/downloadscreen.h"

#include "core/widgets/labelbutton.h"
#include "flash/stoptext.h"
#include "link/link.h"
#include "screens/journalnote.h"
#include "screens/notes.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

namespace flash {

namespace {
// The status line is shown at once, as each step writes it; a text that did
// not change costs nothing, which matters at thousands of blocks a second.
class RepaintingStatus final : public core::StatusLine {
public:
    explicit RepaintingStatus(QLabel *label) : m_label(label) {}
    void setStatus(const QString &text) override
    {
        if (m_label->text() == text)
            return;
        m_label->setText(text);
        if (m_label->isVisible())
            m_label->repaint();
    }

private:
    QLabel *m_label;
};

// Extras need not follow every block: a few updates a second are plenty.
constexpr Ms kProgressInterval{100};
constexpr Ms kCountdownTick{250};

// What a stopped download left behind, and what to do about it.
QString leftText(const Result &r, Kind kind)
{
    if (!r.inBootCode)
        return {};
    const QString entry = kind == Kind::Flash ? QStringLiteral("Flash Device") : QStringLiteral("Bootloader Ext");
    return r.cause == Cause::LinkLost
        ? QStringLiteral("the controller waits in its boot code: connect and run %1 again").arg(entry)
        : QStringLiteral("the controller waits in its boot code: start the download again");
}

// How a download that was tried ended, as the journal keeps it.
journal::End downloadEnd(const Result &r)
{
    journal::End end{journal::Outcome::Failed, std::nullopt, r.message, stopJson(r)};
    if (r.outcome == Outcome::Complete)
        end.outcome = journal::Outcome::Ok;
    else if (r.outcome == Outcome::NotConnected)
        end.outcome = journal::Outcome::LinkNotOpened;
    else if (r.outcome == Outcome::Quit)
        end = {journal::Outcome::Interrupted, std::nullopt, screens::kProgramClosed, stopJson(r)};
    if (end.message.isEmpty())
        end.message = stopText(r);
    return end;
}
} // namespace

DownloadScreen::DownloadScreen(Kind kind, screens::Services &services, const QString &name, const QString &title,
                               const QString &heading, const QString &caution, QWidget *parent)
    : QWidget(parent), m_kind(kind), m_waiter(services.waiter), m_link(services.link), m_journal(services.journal)
{
    setObjectName(name);
    setWindowTitle(title);
    auto *layout = new QVBoxLayout(this);

    auto *label2 = new QLabel(heading, this);
    label2->setObjectName(QStringLiteral("Label2"));
    QFont big = label2->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.4);
    label2->setFont(big);
    layout->addWidget(label2);
    if (!caution.isEmpty()) {
        auto *label5 = new QLabel(caution, this);
        label5->setObjectName(QStringLiteral("Label5"));
        label5->setWordWrap(true);
        layout->addWidget(label5);
    }
    layout->addSpacing(12);

    auto *select = new core::LabelButton(QStringLiteral("Select File to Download"), this);
    select->setObjectName(QStringLiteral("Label4"));
    select->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this, Qt::WidgetWithChildrenShortcut);
    layout->addWidget(select);
    m_path = new QLabel(this);
    m_path->setObjectName(QStringLiteral("Label1"));
    m_path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_path);
    layout->addSpacing(12);

    auto *start = new core::LabelButton(QStringLiteral("Start Flash Download"), this);
    start->setObjectName(QStringLiteral("Label8"));
    start->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return), this, Qt::WidgetWithChildrenShortcut);
    layout->addWidget(start);
    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("Label3"));
    layout->addWidget(m_statusLabel);

    // The bar has a row of its own: the figures under it grow as they count
    // without moving it.
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("progress"));
    m_bar->setTextVisible(false);
    layout->addWidget(m_bar);
    auto *figures = new QHBoxLayout;
    m_block = new QLabel(this);
    m_block->setObjectName(QStringLiteral("blockNumber"));
    figures->addWidget(m_block);
    figures->addStretch();
    m_timeLeft = new QLabel(this);
    m_timeLeft->setObjectName(QStringLiteral("timeLeft"));
    figures->addWidget(m_timeLeft);
    layout->addLayout(figures);
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("downloadNote"));
    m_note->setWordWrap(true);
    m_note->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_note);
    m_journalNote = new screens::JournalNote(this);
    layout->addWidget(m_journalNote);
    layout->addStretch();
    m_countdown = new QTimer(this);
    m_countdown->setInterval(kCountdownTick);
    connect(m_countdown, &QTimer::timeout, this, &DownloadScreen::showCountdown);
    clearProgress();

    m_status = std::make_unique<RepaintingStatus>(m_statusLabel);
    m_download = std::make_unique<FlashDownload>(kind, services.link, *m_status, services.messages);
    m_download->setObserver(this);
    m_form = std::make_unique<DownloadForm>(*m_download, services.files);

    connect(select, &core::LabelButton::clicked, this, &DownloadScreen::selectFile);
    connect(start, &core::LabelButton::clicked, this, &DownloadScreen::startDownload);
}

void DownloadScreen::selectFile()
{
    if (m_form->busy())
        return;
    m_note->clear();
    if (const std::optional<QString> path = m_form->getdownloadfile())
        m_path->setText(*path);
}

void DownloadScreen::startDownload()
{
    if (m_form->busy())
        return;
    if (m_form->imagePath().isEmpty()) {
        m_note->setText(QStringLiteral("No file chosen: choose one with Select File to Download first"));
        return;
    }
    // Refused without a record while another operation holds the link.
    if (m_link.busy())
        return;
    // The figures of an earlier download would stand through the pause and
    // the start handshake as if they were this one's.
    clearProgress();
    const QString &image = m_form->imagePath();
    journal::Operation recorded = m_journal.begin(
        journal::onLink(m_link, m_kind == Kind::Flash ? QStringLiteral("flash") : QStringLiteral("bootext"), {image},
                        {{journal::File::Role::Image, image}}),
        m_journalNote->note());
    recorded.end(downloadEnd(m_form->doflashdl()));
}

void DownloadScreen::clearProgress()
{
    m_countdown->stop();
    m_bar->setRange(0, 1);
    m_bar->setValue(0);
    m_block->clear();
    m_timeLeft->clear();
    m_note->clear();
}

// A busy bar and the seconds left, so that the quiet pause does not look
// like a hang.
void DownloadScreen::pausing(Ms until, Ms /*now*/)
{
    m_restarted = until;
    m_bar->setRange(0, 0);
    showCountdown();
    m_countdown->start();
}

void DownloadScreen::showCountdown()
{
    const auto left = std::chrono::ceil<std::chrono::seconds>(std::max(m_restarted - m_waiter.now(), Ms{0}));
    m_block->setText(QStringLiteral("Waiting %1 s for the controller to restart").arg(left.count()));
    if (isVisible())
        repaint();
}

void DownloadScreen::newAttempt()
{
    if (!m_form->busy())
        clearProgress();
}

void DownloadScreen::blocksStarting(qint64 totalBlocks, qint64 payloadLength, Ms now)
{
    m_countdown->stop();
    m_total = totalBlocks;
    m_payload = payloadLength;
    m_current = m_acked = m_bytes = 0;
    m_started = now;
    m_bar->setRange(0, static_cast<int>(std::min<qint64>(totalBlocks, INT_MAX)));
    m_bar->setValue(0);
    m_timeLeft->clear();
    showProgress(now, true);
}

void DownloadScreen::blockSending(qint64 number, Ms now)
{
    m_current = number;
    showProgress(now, number == 1);
}

void DownloadScreen::blockAcknowledged(qint64 number, qint64 bytesAcknowledged, Ms now)
{
    m_acked = number;
    m_bytes = bytesAcknowledged;
    showProgress(now, number == m_total);
}

void DownloadScreen::finished(const Result &result, Ms now)
{
    if (m_countdown->isActive()) {
        m_countdown->stop();
        m_bar->setRange(0, 1);
        m_block->clear();
    }
    if (result.outcome == Outcome::Complete) {
        m_note->setText(QStringLiteral("Download completed at %1")
                            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
    } else {
        QStringList lines{stopText(result), leftText(result, m_kind)};
        lines.removeAll(QString());
        m_note->setText(lines.join(QLatin1Char('\n')));
    }
    if (m_total == 0)
        return;
    showProgress(now, true);
    m_timeLeft->clear();
    if (result.outcome != Outcome::Complete && m_current > 0)
        m_block->setText(QStringLiteral("Stopped at block %1 of %2").arg(m_current).arg(m_total));
    m_total = 0;
}

void DownloadScreen::showProgress(Ms now, bool force)
{
    if (!force && now - m_shown < kProgressInterval)
        return;
    m_shown = now;
    m_bar->setValue(static_cast<int>(std::min<qint64>(m_acked, INT_MAX)));
    m_block->setText(QStringLiteral("Block %1 of %2").arg(m_current).arg(m_total));
    m_timeLeft->setText(timeLeftText(now - m_started, m_bytes, m_payload));
    if (isVisible())
        repaint();
}

} // namespace flash
