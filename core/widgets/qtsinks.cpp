#include "core/widgets/qtsinks.h"

#include <QFileDialog>
#include <QMessageBox>

namespace core {

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
    return QMessageBox::question(m_parent, kProgramTitle, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

std::optional<QString> QtFileChooser::openFile(const QString &title, const FileFilter &filter)
{
    QFileDialog dialog(m_parent, title, QString(), filter.filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(filter.defaultSuffix);
    if (!filter.initialName.isEmpty())
        dialog.selectFile(filter.initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> QtFileChooser::saveFile(const QString &title, const FileFilter &filter,
                                               const QString &defaultName)
{
    QFileDialog dialog(m_parent, title, defaultName, filter.filter);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(filter.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> QtFileChooser::chooseFolder(const QString &title)
{
    QFileDialog dialog(m_parent, title);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace core
