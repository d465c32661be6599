#pragma once

#include "flash/download.h"

namespace flash {

// Where and why a download stopped, in words for the technician ("no
// acknowledgement for block 40 within 15 s"); empty when it did not stop in
// a wait or a send (it completed, or never began).
QString stopText(const Result &result);

} // namespace flash
