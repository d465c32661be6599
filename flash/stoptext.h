#pragma once

#include "flash/download.h"

#include <QJsonObject>

namespace flash {

// Where and why a download stopped, in words for the technician ("no
// acknowledgement for block 40 within 15 s"); empty when it did not stop in
// a wait or a send (it completed, or never began).
QString stopText(const Result &result);

// What the journal and the command line's JSON keep of a download that did
// not complete: where it stopped, and whether it left the controller in its
// boot code. Nothing of one that completed.
QJsonObject stopJson(const Result &result);

} // namespace flash
