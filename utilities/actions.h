#pragma once

#include "core/inputfile.h"
#include "core/sinks.h"
#include "link/link.h"
#include "utilities/results.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

namespace core {
class SafeFile;
}

namespace utilities {

// Label1 indexes that carry an action.
enum Action : int {
    GetFirmwareIdentification = 0,
    AdHocDelete = 2,
    AdHocAdd = 3,
    SetControllerTime = 5,
    GetControllerTime = 6,
    ShowMemoryUsage = 7,
    DownloadAccessList = 18,
    UploadAccessList = 19,
    DownloadSchedules = 20,
    UploadSchedules = 21,
};

// What an access-list transfer is asked to do besides its file.
struct ListOptions {
    bool adHoc = true;             // the ad hoc list (else the sorted list)
    bool includesSchedule = false; // file lines carry a schedule
    bool inclDeleted = false;      // an upload keeps deleted entries
};

// Where an upload delivers the records it reads: a file, or memory (plan
// compares a controller's list without writing it anywhere).
class RecordConsumer {
public:
    virtual ~RecordConsumer() = default;
    enum class Take { Kept, Skipped, Failed };
    // One record as the controller sent it (an access-list reply, or a
    // schedule entry "sssdHHMMhhmm"); Failed stops the upload, its status
    // line said why.
    virtual Take take(const QByteArray &record) = 0;
    // The upload ended at its end marker (complete) or broke off after the
    // records began; false when what was taken cannot be kept.
    virtual bool finish(bool complete) = 0;
};

// The utilities screen's operations, free of widgets: the single exchanges,
// the access-list and schedule transfers and the two test buttons. Each takes
// its inputs as arguments, returns what it learned, shows it on the display as
// it learns it, and writes its progress and its end to the status line.
class Actions {
public:
    using Clock = std::function<QDateTime()>;

    Actions(wire::Link &link, core::StatusLine &status, Display &display = Display::none(),
            Clock pcClock = &QDateTime::currentDateTime);

private:
    // Tells the screen that an action holds the link, for as long as it does.
    class BusyScope {
    public:
        explicit BusyScope(const std::function<void(bool)> &onBusy);
        ~BusyScope();
        BusyScope(const BusyScope &) = delete;
        BusyScope &operator=(const BusyScope &) = delete;

    private:
        const std::function<void(bool)> &m_onBusy;
    };

public:
    // What every action of a label does first, held for as long as the action
    // runs: the link must be open ("Not Connected" otherwise) and free, and
    // the controller is woken. A turn begun while another action holds the
    // link is refused without a word: that action's progress stays in the
    // status line. Within another turn, a turn is that one.
    class Turn {
    public:
        explicit Turn(Actions &actions, const Turn *within = nullptr);
        explicit operator bool() const { return m_held; }

    private:
        std::optional<wire::LinkClaim> m_claim;
        std::optional<BusyScope> m_busy;
        bool m_held = false;
    };

    // The actions. Each runs within the turn given (a click begins one before
    // it asks for a file), or else begins its own.
    Result<QString> getFirmwareIdentification(const Turn *within = nullptr);
    Outcome adHocAdd(const QString &id, const Turn *within = nullptr);
    Outcome adHocDelete(const QString &id, const Turn *within = nullptr);
    // hours as typed: 0 to 24, moving the PC's time forward when add. The
    // time the controller was set to, as a clock read shows it.
    Result<QString> setControllerTime(const QString &hours, bool add, const Turn *within = nullptr);
    Result<QString> getControllerTime(const Turn *within = nullptr); // as shown: yyyy-mm-dd hh:mm:ss
    Result<MemoryUsage> showMemoryUsage(const Turn *within = nullptr);
    Transfer download_accesslist(const QString &path, const ListOptions &options, const Turn *within = nullptr);
    Transfer upload_accesslist(const QString &path, const ListOptions &options, const Turn *within = nullptr);
    Transfer download_schedule(const QString &path, const Turn *within = nullptr);
    Transfer upload_schedules(const QString &path, const Turn *within = nullptr);
    // The same exchanges, the records delivered to a consumer.
    Transfer upload_accesslist(bool adHoc, RecordConsumer &records, const Turn *within = nullptr);
    Transfer upload_schedules(RecordConsumer &records, const Turn *within = nullptr);

    // Command1 "HS test": 999 fixed records on the network connection; the
    // lines it ends with.
    Result<QString> download2();
    // Command2: the sorted test file.
    Outcome writeSortedTestFile(const QString &path);

    // Called with true when an action takes the link and false when it ends.
    std::function<void(bool)> onBusy;

    const wire::Link &link() const { return m_link; }
    // The last status text an action wrote: what ended one that failed.
    const QString &said() const { return m_said; }

private:
    struct SingleIdTexts {
        QByteArray prefix;  // the command before the ID
        QByteArray success; // the controller's reply when it worked
        QString blank, done, notDone;
    };
    Outcome singleId(const QString &id, const SingleIdTexts &texts, const Turn *within);
    class UploadFile;
    Outcome openUploadFile(const QString &path, core::SafeFile &file);
    bool writeUploadLine(core::SafeFile &file, const QByteArray &line);
    // True when a complete upload's file is in place.
    bool endUpload(core::SafeFile &file, bool complete);

    // Sends a command and reads its reply; says whether the send failed or
    // the reply timed out, and leaves the status line to the caller.
    enum class Exchange { Reply, SendFailed, TimedOut };
    Exchange exchange(const QByteArray &command, QByteArray &reply);
    void status(const QString &text)
    {
        m_said = text;
        m_status.setStatus(text);
    }
    QString pcTime() const;
    // Reads a whole file chosen for a download; nothing (with a status text)
    // when it cannot be read or is past the limits of its kind.
    std::optional<QByteArray> readWholeFile(const QString &path, const core::InputKind &kind);

    wire::Link &m_link;
    core::StatusLine &m_status;
    Display &m_display;
    Clock m_clock;
    QString m_said;
};

// Status texts shared by several actions.
inline const QString kNoResponse = QStringLiteral("No response from controller");
inline const QString kNotConnected = QStringLiteral("Not Connected");

} // namespace utilities
