#pragma once

#include "cli/context.h"

#include <QByteArrayList>

#include <optional>

namespace core {
struct InputKind;
}

namespace cli {

// The lines of an access-list or schedule file a comparison reads; nothing
// (the reason told as the run's failure) when it cannot be read.
std::optional<QByteArrayList> readFileLines(Context &context, const QString &path, const core::InputKind &kind);

// The key of the journal's keyed hashes named by --hash-key; none without
// the option (or, said as a failure, when it cannot be read).
std::optional<QByteArray> hashKey(Context &context, bool *failed);

} // namespace cli
