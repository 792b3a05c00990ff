#include "toolkit/qt/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace ostrander {

QWidget* QtDialogs::Owner() const {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget* active = QApplication::activeWindow())
        return active;
    return parent_;
}

void QtDialogs::ShowMessage(const std::string& text, const std::string& caption) {
    QMessageBox::information(Owner(), QString::fromStdString(caption),
                             QString::fromStdString(text));
}

void QtDialogs::ShowException(const std::string& text) {
    QMessageBox::critical(Owner(), QApplication::applicationName(), QString::fromStdString(text));
}

std::optional<std::string> QtDialogs::OpenFile(const FileDialogRequest& r) {
    QString dir = QString::fromStdString(r.initialFolder);
    if (!r.initialName.empty())
        dir += "/" + QString::fromStdString(r.initialName);
    QString name = QFileDialog::getOpenFileName(Owner(), QString::fromStdString(r.title), dir,
                                                QString::fromStdString(r.filter));
    if (name.isEmpty())
        return std::nullopt;
    return name.toStdString();
}

std::optional<std::string> QtDialogs::SaveFile(const FileDialogRequest& r) {
    QFileDialog dialog(Owner(), QString::fromStdString(r.title),
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
    return QMessageBox::question(Owner(), QString::fromStdString(caption),
                                 QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No,
                                 preselected == Preselect::Yes ? QMessageBox::Yes
                                                               : QMessageBox::No) ==
           QMessageBox::Yes;
}

Dialogs::SaveChoice QtDialogs::AskToSave(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(caption),
                    QString::fromStdString(text),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, Owner());
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveChoice::Save;
    case QMessageBox::Discard:
        return SaveChoice::Discard;
    default:
        return SaveChoice::Cancel;
    }
}

std::optional<std::string> QtDialogs::ChooseFolder(const FileDialogRequest& r) {
    const QString folder = QFileDialog::getExistingDirectory(
        Owner(), QString::fromStdString(r.title), QString::fromStdString(r.initialFolder));
    if (folder.isEmpty())
        return std::nullopt;
    return folder.toStdString();
}

} // namespace ostrander
