#pragma once

#include "core/sinks.h"

#include <QLabel>
#include <QPlainTextEdit>

#include <functional>

namespace core {

// Message boxes over the main window, titled with the program's title.
// While the program is quitting nothing is shown.
class QtMessageBox final : public MessageBox {
public:
    QtMessageBox(QWidget *parent, std::function<bool()> quitting) : m_parent(parent), m_quitting(std::move(quitting)) {}
    void message(const QString &text) override;
    bool ask(const QString &text) override;
    Unsaved askUnsaved(const QString &text) override;

private:
    QWidget *m_parent;
    std::function<bool()> m_quitting;
};

class QtFileChooser final : public FileChooser {
public:
    explicit QtFileChooser(QWidget *parent) : m_parent(parent) {}
    std::optional<QString> openFile(const QString &title, const FileFilter &filter) override;
    std::optional<QString> saveFile(const QString &title, const FileFilter &filter,
                                    const QString &defaultName) override;
    std::optional<QString> chooseFolder(const QString &title, const QString &kind) override;

private:
    QWidget *m_parent;
};

class LabelStatusLine final : public StatusLine {
public:
    explicit LabelStatusLine(QLabel *label) : m_label(label) {}
    void setStatus(const QString &text) override { m_label->setText(text); }

private:
    QLabel *m_label;
};

class TextPane final : public Pane {
public:
    explicit TextPane(QPlainTextEdit *edit) : m_edit(edit) {}
    void append(const QString &line) override { m_edit->appendPlainText(line); }

private:
    QPlainTextEdit *m_edit;
};

// The program's title as every message box shows it.
inline const QString kProgramTitle = QStringLiteral("Tarnic         Flash Utility     V 01.00");

} // namespace core
