#pragma once

#include "core/sinks.h"
#include "flash/image.h"
#include "link/traits.h"
#include "link/waiter.h"

#include <QDate>

#include <functional>
#include <optional>

namespace wire {
class Link;
}

namespace flash {

using wire::Ms;

// The flash image download and the bootloader extension download: one
// protocol, two sets of numbers, each on a serial or a TCP link.
enum class Kind { Flash, BootExt };

// Everything that differs between the four cases: each kind of download as
// the boot code takes it over a line or over a network connection.
struct Variant {
    Kind kind = Kind::Flash;
    wire::Pacing pacing = wire::Pacing::Line;
    bool readsOneByte = true;             // an acknowledgement is read alone
    bool dropsStaleInput = true;          // after the pause that follows the break-in
    qsizetype trailerSize = kTrailerSize; // 0: the whole file is payload
    int blockSize = 50;
    char startChar = 'B';
    QByteArray startReply = "TK";
    Ms pause{10000};
    Ms startTimeout{15000};
    Ms kTimeout{15000};
    Ms bTimeout{10000};
    bool sendDate = true;
    int fills = 0;              // 52-byte FF fills, each answered by "B"
    bool fullBeforeLast = true; // "Downloading - 100 % complete" before the last block
    bool clearStatusOnError = true;
};
Variant variantFor(Kind kind, const wire::Traits &traits);

// How long a download of an image of imageLength bytes takes at baud when
// every answer comes at once: the pause after the break-in, then each byte
// both ways at 10 bits a byte.
Ms expectedDuration(const Variant &v, qint64 imageLength, qint32 baud);

// Stage numbers of the error messages on a line.
enum Stage : int { StageStart = 1, StageBlock = 2, StageLastBlock = 3, StageFinal = 4 };

QString timeoutMessage(const Variant &v);
QString downloadErrorMessage(const Variant &v, int stage);
inline const QString kPreparing = QStringLiteral("Preparing to Download Flash");
inline const QString kFullBeforeLast = QStringLiteral("Downloading - 100 % complete");
inline const QString kEarlyEnd = QStringLiteral("Early end of binary file");
inline const QString kComplete = QStringLiteral("Download complete");
inline const QString kNotConnected = QStringLiteral("Not connected: connect to the controller first");
inline const QString kBaudRuleMessage = QStringLiteral("Controller must be programmed to 9600 baud before reflashing");
// No initial file name.
inline const core::FileFilter kImageFilter{QStringLiteral("Bin Files (*.bin)"), QStringLiteral("bin"), QString(),
                                           QStringLiteral("images")};

// The rule the command menu applies before opening a download: on a link
// whose rate is ours only at 9600 baud, both as selected and as the link was
// opened (a port opened faster and then "9600" clicked is still running
// faster).
bool baudAllowsDownload(const wire::Link &link);

enum class Outcome {
    NotStarted,      // busy, no image chosen, or the link held by another operation
    ImageUnreadable, // nothing was sent
    NotConnected,    // nothing was sent
    StartTimeout,
    DownloadError, // a missing or wrong acknowledgement, or the link lost
    EarlyEnd,      // no payload in the image; nothing was sent
    Complete,
    Quit, // the program is closing; nothing was shown
};

// Why a download that began stopped.
enum class Cause {
    None,
    LinkLost,
    NoAnswer,    // nothing within the time-out
    WrongAnswer, // something other than the acknowledgement
};

struct Result {
    Outcome outcome = Outcome::NotStarted;
    int stage = 0;
    QString message; // what the message box showed
    // Where it stopped: the block sent last (0 before the first) of how many.
    qint64 block = 0;
    qint64 blocks = 0;
    Cause cause = Cause::None;
    Ms waited{0};      // NoAnswer: the time-out that ran out
    QByteArray answer; // WrongAnswer: what came instead
    // The boot code took the download and, until one completes, answers no
    // command: the controller can only be downloaded to again.
    bool inBootCode = false;
};

// For what the specified status text does not show: a progress bar, the
// time left and the block number. Times are on the waiter's clock.
class Observer {
public:
    virtual ~Observer() = default;
    // The quiet pause after the break-in, while the controller restarts.
    virtual void pausing(Ms /*until*/, Ms /*now*/) {}
    virtual void blocksStarting(qint64 /*totalBlocks*/, qint64 /*payloadLength*/, Ms /*now*/) {}
    virtual void blockSending(qint64 /*number*/, Ms /*now*/) {}
    virtual void blockAcknowledged(qint64 /*number*/, qint64 /*bytesAcknowledged*/, Ms /*now*/) {}
    virtual void finished(const Result & /*result*/, Ms /*now*/) {}
};

// The download itself over the open link, with its busy flag.
class FlashDownload {
public:
    FlashDownload(Kind kind, wire::Link &link, core::StatusLine &status, core::MessageBox &messages);

    Kind kind() const { return m_kind; }
    bool busy() const { return m_busy; }
    // The numbers for the transport in use.
    Variant variant() const;

    void setObserver(Observer *observer) { m_observer = observer; }
    // Where the date stamp comes from (the PC's date unless a test says so).
    void setToday(std::function<QDate()> today) { m_today = std::move(today); }
    // A shorter pause after the break-in, for benchmarks and end-to-end runs
    // that measure or check only what follows it.
    void setPauseOverride(std::optional<Ms> pause) { m_pauseOverride = pause; }

    // Downloads the image at path; NotStarted while busy or while another
    // operation holds the link.
    Result doflashdl(const QString &image);

private:
    enum class Input { Data, TimedOut, Lost, Quit };
    Input waitForInput(Ms deadline);
    bool waitAck(char expected, Ms timeout, bool readOne);
    // The acknowledgement waits, with the time-outs of the download running:
    // on a line the next byte is read alone, on a network connection
    // everything received is read at once.
    bool wait_for_k();
    bool wait_for_k_tcp();
    bool wait_for_b();
    bool wait_for_b_tcp();
    bool waitK();
    bool waitB();
    bool send(const QByteArray &bytes);
    Result fail(Outcome outcome, int stage, const QString &message, bool clearStatus);
    Result downloadError(int stage);

    // doflashdl's steps; each ends the download with its result, or lets it
    // go on.
    using Ending = std::optional<Result>;
    Result run(const QString &imagePath);
    Ending breakIn();
    Ending startHandshake();
    Ending sendBlocks(const QByteArray &image, const ImageLayout &layout);
    Ending sendTrailer(const QByteArray &image);

    Kind m_kind;
    wire::Link &m_link;
    wire::Waiter &m_waiter;
    core::StatusLine &m_status;
    core::MessageBox &m_messages;
    Observer *m_observer = nullptr;
    std::function<QDate()> m_today = [] { return QDate::currentDate(); };
    std::optional<Ms> m_pauseOverride;
    bool m_busy = false;
    Variant m_v;      // of the download running
    Result m_stopped; // where it is, and why a wait failed
};

// What a download screen keeps between clicks: the image chosen, and the busy
// flag that holds off both actions while the dialog is open or the download
// runs.
class DownloadForm {
public:
    DownloadForm(FlashDownload &download, core::FileChooser &files) : m_download(download), m_files(files) {}

    const QString &imagePath() const { return m_imagePath; }
    bool busy() const { return m_choosing || m_download.busy(); }

    // Asks for the image; the chosen path, or nothing when cancelled (the
    // image path is then empty) or while busy.
    std::optional<QString> getdownloadfile();
    // Runs the download with the chosen image; NotStarted while busy or with
    // no image chosen.
    Result doflashdl();

private:
    FlashDownload &m_download;
    core::FileChooser &m_files;
    QString m_imagePath;
    bool m_choosing = false;
};

} // namespace flash
