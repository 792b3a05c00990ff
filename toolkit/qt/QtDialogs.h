#pragma once
// The Dialogs service shown with real Qt message boxes and file dialogs.
#include "toolkit/Dialogs.h"

class QWidget;

namespace ostrander {

class QtDialogs : public Dialogs {
public:
    // parent: the window the boxes are centred on (may be null; not owned).
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }

    void ShowMessage(const std::string& text, const std::string& caption) override;
    void ShowException(const std::string& text) override;
    std::optional<std::string> OpenFile(const FileDialogRequest& request) override;
    std::optional<std::string> SaveFile(const FileDialogRequest& request) override;
    bool Ask(const std::string& text, const std::string& caption, Preselect preselected) override;
    std::optional<std::string> ChooseFolder(const FileDialogRequest& request) override;

private:
    QWidget* parent_;
};

} // namespace ostrander
