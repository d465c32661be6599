#pragma once

#include "core/inputfile.h"
#include "core/sinks.h"
#include "utilities/results.h"
#include "utilities/utilitiessettings.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>

namespace core {
class SafeFile;
}

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

// The utilities screen's operations, free of widgets: the label dispatcher,
// the single exchanges, the access-list and schedule transfers and the two
// test buttons. Inputs come from the settings model; each action returns what
// it learned, shows it on the display as it learns it, and writes its progress
// and its end to the status line.
class Actions {
public:
    using Clock = std::function<QDateTime()>;

    Actions(wire::Link &link, UtilitiesSettings &settings, core::StatusLine &status, core::FileChooser &files,
            Display &display = Display::none(), Clock pcClock = &QDateTime::currentDateTime);

    // A click on Label1(index): the action of that label, or the wake-up
    // alone for the labels without one.
    Outcome click(int index);

    // The actions. Each first does what every click does: refuses with "Not
    // Connected" when the link is closed, refuses while another action holds
    // the link, and wakes the controller.
    Result<QString> getFirmwareIdentification();
    Outcome adHocAdd();    // the ID in the settings
    Outcome adHocDelete(); // the ID in the settings
    Outcome setControllerTime();
    Result<QString> getControllerTime(); // as shown: yyyy-mm-dd hh:mm:ss
    Result<MemoryUsage> showMemoryUsage();
    Transfer download_accesslist();
    Transfer upload_accesslist();
    Transfer download_schedule();
    Transfer upload_schedules();

    // Command1 "HS test": 999 fixed records on the TCP connection; the lines
    // it ends with.
    Result<QString> download2();
    // Command2: the sorted test file, through a save dialog.
    Outcome writeSortedTestFile();

    // Called with true when an action takes the link and false when it ends.
    std::function<void(bool)> onBusy;

private:
    class Turn;
    struct SingleIdTexts {
        QByteArray prefix;  // the command before the ID
        QByteArray success; // the controller's reply when it worked
        QString blank, done, notDone;
    };
    Outcome singleId(const SingleIdTexts &texts);
    Outcome openUploadFile(const QString &title, const QString &kind, core::SafeFile &file);
    bool writeUploadLine(core::SafeFile &file, const QByteArray &line);
    // True when a complete upload's file is in place.
    bool endUpload(core::SafeFile &file, bool complete);

    // Sends a command and reads its reply; says whether the send failed or
    // the reply timed out, and leaves the status line to the caller.
    enum class Exchange { Reply, SendFailed, TimedOut };
    Exchange exchange(const QByteArray &command, QByteArray &reply);
    void status(const QString &text) { m_status.setStatus(text); }
    QString pcTime() const;
    // Reads a whole file chosen for a download; nothing (with a status text)
    // when it cannot be read or is past the limits of its kind.
    std::optional<QByteArray> readWholeFile(const QString &path, const core::InputKind &kind);

    wire::Link &m_link;
    UtilitiesSettings &m_settings;
    core::StatusLine &m_status;
    core::FileChooser &m_files;
    Display &m_display;
    Clock m_clock;
};

// Status texts shared by several actions.
inline const QString kNoResponse = QStringLiteral("No response from controller");
inline const QString kNotConnected = QStringLiteral("Not Connected");

} // namespace utilities
