#pragma once

#include <QString>

#include <optional>

namespace core {

// The small report surfaces an operation talks to. Screens implement them with
// widgets, the command-line companion with stdout, tests with recorders.

class StatusLine {
public:
    virtual ~StatusLine() = default;
    virtual void setStatus(const QString &text) = 0;
};

class Pane {
public:
    virtual ~Pane() = default;
    virtual void append(const QString &line) = 0;
};

class MessageBox {
public:
    virtual ~MessageBox() = default;
    // Modal message with an OK button.
    virtual void message(const QString &text) = 0;
    // Modal Yes/No question; true for Yes.
    virtual bool ask(const QString &text) = 0;
    // What to do with changes not yet saved before they are replaced.
    enum class Unsaved { Save, Discard, Cancel };
    // Modal Save / Discard / Cancel question. A front end without one keeps
    // the changes.
    virtual Unsaved askUnsaved(const QString &text)
    {
        Q_UNUSED(text);
        return Unsaved::Cancel;
    }
};

struct FileFilter {
    QString filter;        // e.g. "Binary Files (*.bin)"
    QString defaultSuffix; // e.g. "bin"
    QString initialName;   // the name an open dialog starts with, if any
    // What the files are ("images", "access-lists", "schedules", "logs",
    // "profiles", "records"): each kind opens in the folder last used for it.
    QString kind;
};

class FileChooser {
public:
    virtual ~FileChooser() = default;
    // An empty result means the user cancelled.
    virtual std::optional<QString> openFile(const QString &title, const FileFilter &filter) = 0;
    // The chooser asks before overwriting an existing file.
    virtual std::optional<QString> saveFile(const QString &title, const FileFilter &filter,
                                            const QString &defaultName) = 0;
    // A folder to keep files of a kind in (see FileFilter::kind). Front ends
    // that name their folders on the command line have none to offer.
    virtual std::optional<QString> chooseFolder(const QString &title, const QString &kind)
    {
        Q_UNUSED(title);
        Q_UNUSED(kind);
        return std::nullopt;
    }
};

} // namespace core
