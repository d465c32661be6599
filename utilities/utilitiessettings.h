#pragma once

#include <QString>

namespace utilities {

// The utilities screen's input fields and options, under their control names.
// Operations read them at the moment they run; the screen keeps them in step
// with its widgets. Results go out through the Fields sink (fields.h).
struct UtilitiesSettings {
    bool add = false;                     // Option1(0) "Add" (else Option1(1) "Subtract")
    bool autoClear = false;               // Check1(1) "Auto clear" (read by no operation)
    bool adHoc = false;                   // Option1(3) "Ad Hoc" (else Option1(2) "Sorted")
    bool includesSchedule = false;        // Check1(0) "File includes schedule"
    bool inclDeleted = false;             // Check1(2) "Incl Deleted"
    QString Text1_2;                      // Text1(2): the ID to add or delete
    QString Text2 = QStringLiteral("00"); // hours to add or subtract
};

void applyUtilitiesDefaults(UtilitiesSettings &settings);

} // namespace utilities
