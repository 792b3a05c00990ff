#include "toolkit/qt/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
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

FileTypeNames::FileTypeNames(std::vector<std::pair<std::string, std::string>> names)
    : names_(std::move(names)) {}

QString FileTypeNames::type(const QFileInfo& info) const {
    const std::string suffix = info.suffix().toLower().toStdString();
    for (const auto& [ending, name] : names_)
        if (info.isFile() && suffix == ending)
            return QString::fromStdString(name);
    return QFileIconProvider::type(info);
}

std::optional<std::string> QtDialogs::OpenFile(const FileDialogRequest& r) {
    QString dir = QString::fromStdString(r.initialFolder);
    if (!r.initialName.empty())
        dir += "/" + QString::fromStdString(r.initialName);
    QFileDialog dialog(Owner(), QString::fromStdString(r.title), dir,
                       QString::fromStdString(r.filter));
    dialog.setFileMode(QFileDialog::ExistingFile);
    FileTypeNames types(r.typeNames);
    if (!r.typeNames.empty())
        dialog.setIconProvider(&types);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
}

std::optional<std::string> QtDialogs::SaveFile(const FileDialogRequest& r) {
    QFileDialog dialog(Owner(), QString::fromStdString(r.title),
                       QString::fromStdString(r.initialFolder), QString::fromStdString(r.filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    FileTypeNames types(r.typeNames);
    if (!r.typeNames.empty())
        dialog.setIconProvider(&types);
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
