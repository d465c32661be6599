#pragma once

#include "core/sinks.h"
#include "utilities/fields.h"
#include "utilities/utilitiessettings.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>

class QSaveFile;

namespace wire {
class Link;
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

// What ended an action: Done when it ran to its end (also "ID not found" and
// the like: the controller answered), Failed on a refused click, a time-out,
// a send or file failure, Cancelled when a dialog was cancelled.
enum class Outcome { Done, Failed, Cancelled };

// The utilities screen's operations, free of widgets: the label dispatcher,
// the single exchanges, the access-list and schedule transfers and the two
// test buttons. Inputs come from the settings model, results go to the status
// line and the result fields.
class Actions {
public:
    using Clock = std::function<QDateTime()>;

    Actions(wire::Link &link, UtilitiesSettings &settings, core::StatusLine &status, Fields &fields,
            core::FileChooser &files, Clock pcClock = &QDateTime::currentDateTime);

    // A click on Label1(index): the connection test, the wake-up, the action.
    Outcome click(int index);

    // Command1 "HS test": 999 fixed records on the TCP connection.
    Outcome download2();
    // Command2: the sorted test file, through a save dialog.
    Outcome writeSortedTestFile();

    // Called with true when an action takes the link and false when it ends.
    std::function<void(bool)> onBusy;

private:
    Outcome getFirmwareIdentification();
    Outcome adHocDelete();
    Outcome adHocAdd();
    struct SingleIdTexts {
        QByteArray prefix;  // the command before the ID
        QByteArray success; // the controller's reply when it worked
        QString blank, done, notDone;
    };
    Outcome singleId(const SingleIdTexts &texts);
    Outcome openUploadFile(const QString &title, QSaveFile &file);
    Outcome setControllerTime();
    Outcome getControllerTime();
    Outcome showMemoryUsage();
    Outcome download_accesslist();
    Outcome upload_accesslist();
    Outcome download_schedule();
    Outcome upload_schedules();

    // Sends a command and reads its reply; says whether the send failed or
    // the reply timed out, and leaves the status line to the caller.
    enum class Exchange { Reply, SendFailed, TimedOut };
    Exchange exchange(const QByteArray &command, QByteArray &reply);
    void status(const QString &text) { m_status.setStatus(text); }
    QString pcTime() const;
    // Reads a whole file chosen for a download; nothing (with a status text)
    // when it cannot be read.
    std::optional<QByteArray> readWholeFile(const QString &path);

    wire::Link &m_link;
    UtilitiesSettings &m_settings;
    core::StatusLine &m_status;
    Fields &m_fields;
    core::FileChooser &m_files;
    Clock m_clock;
};

// Status texts shared by several actions.
inline const QString kNoResponse = QStringLiteral("No response from controller");
inline const QString kNotConnected = QStringLiteral("Not Connected");

} // namespace utilities
