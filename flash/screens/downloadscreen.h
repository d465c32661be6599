#pragma once

#include "flash/download.h"
#include "screens/services.h"

#include <QWidget>

#include <memory>

class QLabel;
class QProgressBar;
class QTimer;

namespace core {
class LabelButton;
}

namespace screens {
class JournalNote;
}

namespace flash {

// What `flashdl` and `flashboot2` share: the captions, the chosen path, the
// status line and, beside it, a progress bar, the block number and the time
// left while a download runs.
class DownloadScreen : public QWidget, private Observer {
    Q_OBJECT
public:
    FlashDownload &download() { return *m_download; }

    // The two actions as a click runs them.
    void selectFile();
    void startDownload();
    // Opened from the menu: the last attempt's figures are history (kept
    // while a download runs).
    void newAttempt();

protected:
    // caution: empty for none.
    DownloadScreen(Kind kind, screens::Services &services, const QString &name, const QString &title,
                   const QString &heading, const QString &caution, QWidget *parent);

private:
    void clearProgress();
    void pausing(Ms until, Ms now) override;
    void showCountdown();
    void blocksStarting(qint64 totalBlocks, qint64 payloadLength, Ms now) override;
    void blockSending(qint64 number, Ms now) override;
    void blockAcknowledged(qint64 number, qint64 bytesAcknowledged, Ms now) override;
    void finished(const Result &result, Ms now) override;
    void showProgress(Ms now, bool force);

    QLabel *m_path;
    QLabel *m_statusLabel;
    QProgressBar *m_bar;
    QLabel *m_block;
    QLabel *m_timeLeft;
    // Our own line under the figures: why a click did nothing, why a
    // download stopped and what state it left, or when it completed.
    QLabel *m_note;
    screens::JournalNote *m_journalNote;
    QTimer *m_countdown; // through the pause after the break-in
    Ms m_restarted{0};   // when that pause ends
    Kind m_kind;
    wire::Waiter &m_waiter;
    wire::Link &m_link;
    const journal::Desk &m_journal;
    std::unique_ptr<core::StatusLine> m_status;
    std::unique_ptr<FlashDownload> m_download;
    std::unique_ptr<DownloadForm> m_form;

    qint64 m_total = 0;
    qint64 m_payload = 0;
    qint64 m_current = 0;
    qint64 m_acked = 0;
    qint64 m_bytes = 0;
    Ms m_started{0};
    Ms m_shown{0};
};

} // namespace flash
