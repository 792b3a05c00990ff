#include "toolkit/Dialogs.h"

#include <atomic>

namespace ostrander {

namespace {
class SilentDialogs : public Dialogs {
public:
    void ShowMessage(const std::string&, const std::string&) override {}
    void ShowException(const std::string&) override {}
    std::optional<std::string> OpenFile(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<std::string> SaveFile(const FileDialogRequest&) override { return std::nullopt; }
    bool Ask(const std::string&, const std::string&, Preselect) override { return false; }
    std::optional<std::string> ChooseFolder(const FileDialogRequest&) override {
        return std::nullopt;
    }
    // Nobody to ask: the work is kept.
    SaveChoice AskToSave(const std::string&, const std::string&) override {
        return SaveChoice::Cancel;
    }
};

SilentDialogs g_silent;
std::atomic<Dialogs*> g_installed{nullptr};
} // namespace

Dialogs& Dialogs::Instance() {
    Dialogs* d = g_installed.load();
    return d ? *d : g_silent;
}

void Dialogs::Install(Dialogs* dialogs) {
    g_installed.store(dialogs);
}

void ScriptedDialogs::ShowMessage(const std::string& text, const std::string& caption) {
    messages.push_back({text, caption});
}

void ScriptedDialogs::ShowException(const std::string& text) {
    exceptions.push_back(text);
}

std::optional<std::string> ScriptedDialogs::OpenFile(const FileDialogRequest& request) {
    openRequests.push_back(request);
    if (openAnswers.empty())
        return std::nullopt;
    auto a = openAnswers.front();
    openAnswers.pop_front();
    return a;
}

std::optional<std::string> ScriptedDialogs::SaveFile(const FileDialogRequest& request) {
    saveRequests.push_back(request);
    if (saveAnswers.empty())
        return std::nullopt;
    auto a = saveAnswers.front();
    saveAnswers.pop_front();
    return a;
}

bool ScriptedDialogs::Ask(const std::string& text, const std::string& caption,
                          Preselect preselected) {
    questions.push_back({text, caption, preselected});
    if (askAnswers.empty())
        return false;
    const bool answer = askAnswers.front();
    askAnswers.pop_front();
    return answer;
}

Dialogs::SaveChoice ScriptedDialogs::AskToSave(const std::string& text,
                                               const std::string& caption) {
    saveQuestions.push_back({text, caption});
    if (saveChoices.empty())
        return SaveChoice::Cancel;
    const SaveChoice choice = saveChoices.front();
    saveChoices.pop_front();
    return choice;
}

std::optional<std::string> ScriptedDialogs::ChooseFolder(const FileDialogRequest& request) {
    folderRequests.push_back(request);
    if (folderAnswers.empty())
        return std::nullopt;
    auto a = folderAnswers.front();
    folderAnswers.pop_front();
    return a;
}

} // namespace ostrander
