#pragma once

#include "core/sinks.h"

#include <QStringList>

#include <deque>

namespace testing {

// Report surfaces that remember what they were told.
class Recorder final : public core::StatusLine, public core::Pane, public core::MessageBox, public core::FileChooser {
public:
    void setStatus(const QString &text) override { statuses.append(text); }
    void append(const QString &line) override { lines.append(line); }
    void message(const QString &text) override { messages.append(text); }
    bool ask(const QString &text) override
    {
        questions.append(text);
        if (answers.empty())
            return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    Unsaved askUnsaved(const QString &text) override
    {
        questions.append(text);
        return unsavedAnswers.isEmpty() ? Unsaved::Cancel : unsavedAnswers.takeFirst();
    }
    std::optional<QString> openFile(const QString &title, const core::FileFilter &filter) override
    {
        dialogs.append(title);
        lastFilter = filter;
        return nextPath;
    }
    std::optional<QString> saveFile(const QString &title, const core::FileFilter &filter,
                                    const QString &defaultName) override
    {
        dialogs.append(title);
        lastFilter = filter;
        lastDefaultName = defaultName;
        return nextPath;
    }
    std::optional<QString> chooseFolder(const QString &title, const QString &) override
    {
        dialogs.append(title);
        return nextPath;
    }

    QString status() const { return statuses.isEmpty() ? QString() : statuses.constLast(); }

    QStringList statuses;
    QStringList lines;
    QStringList messages;
    QStringList questions;
    QStringList dialogs;
    std::deque<bool> answers;
    QList<Unsaved> unsavedAnswers;
    std::optional<QString> nextPath;
    core::FileFilter lastFilter;
    QString lastDefaultName;
};

} // namespace testing
