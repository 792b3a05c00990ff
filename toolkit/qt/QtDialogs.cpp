#include "toolkit/qt/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace ostrander {

void QtDialogs::ShowMessage(const std::string& text, const std::string& caption) {
    QMessageBox::information(parent_, QString::fromStdString(caption),
                             QString::fromStdString(text));
}

void QtDialogs::ShowException(const std::string& text) {
    QMessageBox::critical(parent_, QApplication::applicationName(), QString::fromStdString(text));
}

std::optional<std::string> QtDialogs::OpenFile(const FileDialogRequest& r) {
    QString dir = QString::fromStdString(r.initialFolder);
    if (!r.initialName.empty())
        dir += "/" + QString::fromStdString(r.initialName);
    QString name = QFileDialog::getOpenFileName(parent_, QString::fromStdString(r.title), dir,
                                                QString::fromStdString(r.filter));
    if (name.isEmpty())
        return std::nullopt;
    return name.toStdString();
}

std::optional<std::string> QtDialogs::SaveFile(const FileDialogRequest& r) {
    QFileDialog dialog(parent_, QString::fromStdString(r.title),
                       QString::fromStdString(r.initialFolder), QString::fromStdString(r.filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    if (!r.defaultSuffix.empty())
        dialog.setDefaultSuffix(QString::fromStdString(r.defaultSuffix));
    if (!r.initialName.empty())
        dialog.selectFile(QString::fromStdString(r.initialName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
}

bool QtDialogs::Ask(const std::string& text, const std::string& caption,
                    Preselect preselected) {
    return QMessageBox::question(parent_, QString::fromStdString(caption),
                                 QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No,
                                 preselected == Preselect::Yes ? QMessageBox::Yes
                                                               : QMessageBox::No) ==
           QMessageBox::Yes;
}

std::optional<std::string> QtDialogs::ChooseFolder(const FileDialogRequest& r) {
    const QString folder = QFileDialog::getExistingDirectory(
        parent_, QString::fromStdString(r.title), QString::fromStdString(r.initialFolder));
    if (folder.isEmpty())
        return std::nullopt;
    return folder.toStdString();
}

} // namespace ostrander
