#pragma once

#include <QString>

#include <QtGlobal>

namespace utilities {

// What ended an action: Done when it ran to its end (also "ID not found" and
// the like: the controller answered), Failed on a refused click, a time-out,
// a send or file failure, Cancelled when a dialog was cancelled, Refused
// when the file chosen could not be taken (missing, not a file, too large)
// and nothing was sent. The status line says which.
enum class Outcome { Done, Failed, Cancelled, Refused };

// An action's outcome and what it learned; the value is filled when Done.
template <typename T>
struct Result {
    Outcome outcome = Outcome::Failed;
    T value{};
};

// The records (or schedules) a transfer counted, as its status line shows them.
using Transfer = Result<qint64>;

// The controller's memory figures, each as sent (leading zeros kept).
struct MemoryUsage {
    QString adHocAvailable, adHocUsed, logAvailable, logUsed, mainAvailable, mainUsed;
};

// Where the screen shows what an action has learned so far, while it runs:
// a result is cleared when its exchange starts and filled when the answer
// comes. Every method does nothing here: callers that read the returned
// results need no display.
class Display {
public:
    virtual ~Display() = default;
    virtual void showIdentification(const QString &) {}
    virtual void showControllerTime(const QString &) {}
    virtual void showMemoryUsage(const MemoryUsage &) {}
    // The PC's time when an access-list download starts and when all of it
    // went through.
    virtual void showTransferStart(const QString &) {}
    virtual void showTransferEnd(const QString &) {}
    // The HS test's lines for the current record.
    virtual void showHsTest(const QString &) {}
    // A line of the program's own under the status line (where a failed
    // upload kept its records), cleared when a transfer starts.
    virtual void showNote(const QString &) {}

    // The display that shows nothing.
    static Display &none();
};

} // namespace utilities
