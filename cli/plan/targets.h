#pragma once

#include "cli/plan/siteplan.h"
#include "config/settings.h"

#include <QByteArrayList>
#include <QHash>

#include <optional>

namespace core {
struct InputKind;
}

namespace cli::plan {

// What a controller's desired files give, checked before any link opens; a
// file's figures are learned once however many rows name it.
class TargetFiles {
public:
    // Nothing, with why in error, when a file is missing or unfit; the list
    // files only with lists.
    std::optional<Targets> of(const ::fleet::Controller &controller, bool lists, QString *error);

private:
    // What a list file holds.
    struct ListFile {
        qint64 lines = 0;       // non-empty ones: the records a download sends
        qint64 recordBytes = 0; // of those records as sent
        qint64 records = 0;     // as the download leaves them
    };

    static std::optional<QByteArrayList> lines(const QString &path, const core::InputKind &kind, const char *column,
                                               QString *error);
    bool accessTargets(const ::fleet::Controller &controller, Targets &targets, QString *error);
    bool schedulesTargets(const ::fleet::Controller &controller, Targets &targets, QString *error);

    QHash<QString, config::Settings> m_settings;
    QHash<QString, ListFile> m_lists;
};

} // namespace cli::plan
