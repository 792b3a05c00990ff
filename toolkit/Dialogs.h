#pragma once
// Modal message boxes and file dialogs as a service, so code below the
// windows can ask for them and tests can script the answers.
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ostrander {

struct FileDialogRequest {
    std::string title;
    std::string filter; // e.g. "Pattern files (*.ini);;All files (*)"
    std::string initialFolder;
    std::string initialName;
    std::string defaultSuffix; // without the dot
    // What the dialog calls files of a suffix (without the dot) instead of
    // the system's guess from the suffix alone (.pat is not only ours).
    std::vector<std::pair<std::string, std::string>> typeNames;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A message box with an OK button; returns when the user closed it.
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
    // The exception box: an error that reached the event loop.
    virtual void ShowException(const std::string& text) = 0;
    // Chosen file name, or nothing when the user cancelled.
    virtual std::optional<std::string> OpenFile(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> SaveFile(const FileDialogRequest& request) = 0;
    // A question with Yes and No buttons; true for Yes. preselected is the
    // button Enter presses: No for a question whose Yes throws work away.
    enum class Preselect { Yes, No };
    virtual bool Ask(const std::string& text, const std::string& caption,
                     Preselect preselected) = 0;
    // Work that is not saved is about to go: Save (Enter), Discard, or
    // Cancel (Escape) to keep it and stop.
    enum class SaveChoice { Save, Discard, Cancel };
    virtual SaveChoice AskToSave(const std::string& text, const std::string& caption) = 0;
    // A chosen folder (request.initialFolder to start in; filter and name
    // unused), or nothing when the user cancelled.
    virtual std::optional<std::string> ChooseFolder(const FileDialogRequest& request) = 0;

    // The process-wide service. Until one is installed, a silent one that
    // records nothing and cancels every file dialog is used.
    static Dialogs& Instance();
    static void Install(Dialogs* dialogs); // not owned; nullptr restores the silent one
};

// For tests: records every box and answers file dialogs from queues.
class ScriptedDialogs : public Dialogs {
public:
    struct Message {
        std::string text;
        std::string caption;
    };
    struct Question {
        std::string text;
        std::string caption;
        Preselect preselected;
    };
    void ShowMessage(const std::string& text, const std::string& caption) override;
    void ShowException(const std::string& text) override;
    std::optional<std::string> OpenFile(const FileDialogRequest& request) override;
    std::optional<std::string> SaveFile(const FileDialogRequest& request) override;
    bool Ask(const std::string& text, const std::string& caption, Preselect preselected) override;
    std::optional<std::string> ChooseFolder(const FileDialogRequest& request) override;
    SaveChoice AskToSave(const std::string& text, const std::string& caption) override;

    std::vector<Message> messages;
    std::vector<Question> questions;
    // Answers to questions in order; an empty queue answers No.
    std::deque<bool> askAnswers;
    // Save / Discard / Cancel questions, and their answers in order; an
    // empty queue cancels.
    std::vector<Message> saveQuestions;
    std::deque<SaveChoice> saveChoices;
    std::vector<FileDialogRequest> folderRequests;
    // Chosen folders in order; an empty optional or an empty queue cancels.
    std::deque<std::optional<std::string>> folderAnswers;
    std::vector<std::string> exceptions;
    std::vector<FileDialogRequest> openRequests;
    std::vector<FileDialogRequest> saveRequests;
    // Answers in order; an empty optional means "cancel". An empty queue cancels.
    std::deque<std::optional<std::string>> openAnswers;
    std::deque<std::optional<std::string>> saveAnswers;
};

// Installs a dialogs service for the lifetime of the object (tests).
class ScopedDialogs {
public:
    explicit ScopedDialogs(Dialogs& d) { Dialogs::Install(&d); }
    ~ScopedDialogs() { Dialogs::Install(nullptr); }
    ScopedDialogs(const ScopedDialogs&) = delete;
    ScopedDialogs& operator=(const ScopedDialogs&) = delete;
};

} // namespace ostrander
