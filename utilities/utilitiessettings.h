#pragma once

#include <QString>

namespace utilities {

// The utilities screen's inputs and options, kept in step with its widgets;
// a click hands the action what they hold at that moment.
struct UtilitiesSettings {
    bool add = false;                     // the hours move the clock forward (else back)
    bool autoClear = false;               // "Auto clear" (read by no operation)
    bool adHoc = false;                   // transfers use the ad hoc list (else the sorted list)
    bool includesSchedule = false;        // access-list lines carry a schedule
    bool inclDeleted = false;             // an upload keeps deleted entries
    QString adHocId;                      // the ID to add or delete, as typed
    QString hours = QStringLiteral("00"); // hours to add or subtract when setting the time
};

void applyUtilitiesDefaults(UtilitiesSettings &settings);

} // namespace utilities
