#pragma once

#include "cli/context.h"
#include "utilities/actions.h"

#include <functional>

namespace cli {

// An access-list or schedule transfer with the file named on the command
// line: an upload's file is checked before anything is sent, the lines the
// action notes beside its status line are printed, and what it counted goes
// into results under key. The exit status.
int runTransfer(Context &c, const QString &file, bool upload, const char *key,
                const std::function<utilities::Transfer(utilities::Actions &, const QString &file)> &transfer);

} // namespace cli
