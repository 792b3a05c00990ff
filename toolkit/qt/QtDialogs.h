#pragma once
// The Dialogs service shown with real Qt message boxes and file dialogs.
#include "toolkit/Dialogs.h"

#include <QFileIconProvider>

#include <string>
#include <utility>
#include <vector>

class QWidget;

namespace ostrander {

// The file dialogs' names for file types by suffix, over the system's.
class FileTypeNames : public QFileIconProvider {
public:
    explicit FileTypeNames(std::vector<std::pair<std::string, std::string>> names);
    QString type(const QFileInfo& info) const override;

private:
    std::vector<std::pair<std::string, std::string>> names_;
};

class QtDialogs : public Dialogs {
public:
    // parent: the window the boxes are centred on when no window of the
    // program is active (may be null; not owned). Otherwise a box belongs to
    // the window that asked for it - the active one, or the modal dialog on
    // top - so that closing it gives the focus back there.
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }

    void ShowMessage(const std::string& text, const std::string& caption) override;
    void ShowException(const std::string& text) override;
    std::optional<std::string> OpenFile(const FileDialogRequest& request) override;
    std::optional<std::string> SaveFile(const FileDialogRequest& request) override;
    bool Ask(const std::string& text, const std::string& caption, Preselect preselected) override;
    std::optional<std::string> ChooseFolder(const FileDialogRequest& request) override;
    SaveChoice AskToSave(const std::string& text, const std::string& caption) override;

    // The window a box opened now belongs to.
    QWidget* Owner() const;

private:
    QWidget* parent_;
};

} // namespace ostrander
