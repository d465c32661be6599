#include "core/widgets/qtsinks.h"

#include "core/programsettings.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace core {

namespace {
QString folderKey(const QString &kind) { return QStringLiteral("folders/") + kind; }

// Where a dialog for this kind of file opens: the folder last chosen for it,
// else the working folder.
QString startFolder(const FileFilter &filter)
{
    return filter.kind.isEmpty() ? QString() : programSettings().value(folderKey(filter.kind)).toString();
}

std::optional<QString> chosen(QFileDialog &dialog, const FileFilter &filter)
{
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    QString path = dialog.selectedFiles().constFirst();
    if (!filter.kind.isEmpty())
        programSettings().setValue(folderKey(filter.kind), QFileInfo(path).absolutePath());
    return path;
}
} // namespace

void QtMessageBox::message(const QString &text)
{
    if (m_quitting())
        return;
    QMessageBox::information(m_parent, kProgramTitle, text);
}

bool QtMessageBox::ask(const QString &text)
{
    if (m_quitting())
        return false;
    // The questions asked guard destructive steps: Enter must not take them.
    return QMessageBox::question(m_parent, kProgramTitle, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

MessageBox::Unsaved QtMessageBox::askUnsaved(const QString &text)
{
    if (m_quitting())
        return Unsaved::Cancel;
    switch (QMessageBox::question(m_parent, kProgramTitle, text,
                                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save)) {
    case QMessageBox::Save:
        return Unsaved::Save;
    case QMessageBox::Discard:
        return Unsaved::Discard;
    default:
        return Unsaved::Cancel;
    }
}

std::optional<QString> QtFileChooser::openFile(const QString &title, const FileFilter &filter)
{
    QFileDialog dialog(m_parent, title, startFolder(filter), filter.filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(filter.defaultSuffix);
    if (!filter.initialName.isEmpty())
        dialog.selectFile(filter.initialName);
    return chosen(dialog, filter);
}

std::optional<QString> QtFileChooser::saveFile(const QString &title, const FileFilter &filter,
                                               const QString &defaultName)
{
    const QString folder = startFolder(filter);
    QFileDialog dialog(m_parent, title, folder.isEmpty() ? defaultName : QDir(folder).filePath(defaultName),
                       filter.filter);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(filter.defaultSuffix);
    return chosen(dialog, filter);
}

std::optional<QString> QtFileChooser::chooseFolder(const QString &title, const QString &kind)
{
    QFileDialog dialog(m_parent, title, programSettings().value(folderKey(kind)).toString());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    QString folder = dialog.selectedFiles().constFirst();
    programSettings().setValue(folderKey(kind), folder);
    return folder;
}

} // namespace core
