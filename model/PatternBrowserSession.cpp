#include "model/PatternBrowserSession.h"

#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorZernikeClass.h"
#include "Shared_Software/Pattern/PatternClass.h"
#include "Shared_Software/Pattern/VoltageListClass.h"

namespace ostrander {

PatternBrowserSession::PatternBrowserSession() = default;
PatternBrowserSession::~PatternBrowserSession() = default;

bool PatternBrowserSession::ActiveMirrorValid() const {
    return ActiveMirror != nullptr && ActiveMirror->IsValid();
}

bool PatternBrowserSession::PreviewMirrorValid() const {
    return PreviewMirror != nullptr && PreviewMirror->IsValid();
}

bool PatternBrowserSession::ApplyCurrentToPreview() {
    if (!PreviewMirrorValid() || CurrentVoltages == nullptr)
        return false;
    PreviewMirror->ApplyVoltageList(CurrentVoltages.get(), 0);
    return true;
}

void PatternBrowserSession::CaptureCurrentVoltages() {
    if (CurrentVoltages == nullptr)
        CurrentVoltages = std::make_unique<VoltageListClass>();
    if (PreviewMirrorValid())
        PreviewMirror->ReadVoltages(*CurrentVoltages);
}

PatternBrowserSession::ShowOutcome
PatternBrowserSession::ShowSet(const std::optional<std::string>& chosenFile,
                               const std::string& dialogFileName) {
    if (!FileLoaded) {
        if (!chosenFile)
            return ShowOutcome::NoSet;
        PatternSet = std::make_unique<PatternClass>(*chosenFile);
        Edited = false;
    }
    if (PatternSet == nullptr)
        return ShowOutcome::NoSet;
    if (PatternSet->IsValid()) {
        FileLoaded = true;
        CurrentVoltages = PatternSet->GetPatternVoltages(0);
        PreviewFromSet = true;
        return ShowOutcome::Valid;
    }
    PatternSet->SetPatternSetName("Default Pattern");
    PatternSet->SetFileName(dialogFileName);
    return ShowOutcome::NotUsable;
}

MirrorClass* PatternBrowserSession::RebuildPreviewMirror() {
    PreviewMirror.reset();
    if (ActiveMirrorValid())
        MirrorFileName = ActiveMirror->GetFileName();
    PreviewMirror = std::make_unique<MirrorClass>(MirrorFileName);
    if (!PreviewMirrorValid())
        return nullptr;
    PreviewMirror->SetOutputHold(true);
    return PreviewMirror.get();
}

void PatternBrowserSession::ShowCurrentVoltagesOnPreview() {
    if (CurrentVoltages == nullptr) {
        CurrentVoltages = std::make_unique<VoltageListClass>();
        if (ActiveMirrorValid())
            ActiveMirror->ReadVoltages(*CurrentVoltages);
        PreviewFromSet = false;
    }
    ApplyCurrentToPreview();
}

PatternBrowserSession::OpenResult PatternBrowserSession::OpenSet(const std::string& fileName) {
    OpenResult result;
    auto chosen = std::make_unique<PatternClass>(fileName);
    // An unusable file leaves the set on show, and so what Save would write,
    // as it was.
    if (!chosen->IsValid()) {
        result.error = chosen->ReadError();
        return result;
    }
    result.valid = true;
    PatternFileName = fileName;
    PatternSet = std::move(chosen);
    Edited = false;
    FileLoaded = true;
    if (PatternSet->GetPatternCount() > 0) {
        CurrentVoltages = PatternSet->GetPatternVoltages(0);
        PreviewFromSet = true;
        result.previewChanged = ApplyCurrentToPreview();
    }
    return result;
}

PatternBrowserSession::Status PatternBrowserSession::LoadZernikeSet() {
    if (!ActiveMirrorValid())
        return Status::NoActiveMirror;
    const MirrorInfoClass* info = ActiveMirror->GetInfo();
    const PatternClass* zernike =
        info != nullptr && info->Zernike ? info->Zernike->GetPatternSet() : nullptr;
    if (zernike == nullptr || !zernike->IsValid())
        return Status::NoZernikeSet;

    auto copy =
        std::make_unique<PatternClass>(zernike->GetPatternSetName(), zernike->GetVoltageCount());
    for (int k = 0; k < zernike->GetPatternCount(); ++k)
        if (const PatternListEntry* pattern = zernike->FindPattern(k))
            copy->InsertPattern(k, pattern->PatternName, pattern->Voltages);
    PatternSet = std::move(copy);
    Edited = false;
    FileLoaded = true;
    SelectedIndex = 0;
    if (PatternSet->GetPatternCount() > 0) {
        CurrentVoltages = PatternSet->GetPatternVoltages(0);
        PreviewFromSet = true;
        ApplyCurrentToPreview();
    }
    return Status::Done;
}

bool PatternBrowserSession::SelectPattern(int index) {
    SelectedIndex = index;
    if (PatternSet == nullptr || !PreviewMirrorValid())
        return false;
    auto voltages = PatternSet->GetPatternVoltages(SelectedIndex);
    if (voltages == nullptr)
        return false;
    PreviewMirror->ApplyVoltageList(voltages.get(), 0);
    PreviewFromSet = true;
    return true;
}

PatternBrowserSession::Status PatternBrowserSession::AddPattern(const std::string& name,
                                                                const std::string& setName) {
    CaptureCurrentVoltages();
    VoltageListClass copy;
    CurrentVoltages->CopyTo(&copy);

    int position = 0;
    if (PatternSet == nullptr || PatternSet->GetPatternCount() == 0)
        PatternSet = std::make_unique<PatternClass>(setName, copy.Count());
    else
        position = PatternSet->GetPatternCount();
    SelectedIndex = position;
    if (!PatternSet->InsertPattern(position, name, copy))
        return Status::DuplicateName;
    Edited = true;
    return Status::Done;
}

PatternBrowserSession::Status PatternBrowserSession::ReplacePattern(const std::string& name) {
    CaptureCurrentVoltages();
    VoltageListClass copy;
    CurrentVoltages->CopyTo(&copy);
    if (PatternSet == nullptr)
        return Status::NoPatternSet;
    if (!PatternSet->ReplacePattern(SelectedIndex, name, copy))
        return Status::DuplicateName;
    Edited = true;
    return Status::Done;
}

PatternBrowserSession::Status PatternBrowserSession::DeletePattern() {
    if (PatternSet == nullptr)
        return Status::NoPatternSet;
    if (!PatternSet->DeletePattern(SelectedIndex))
        return Status::NotInList;
    Edited = true;
    return Status::Done;
}

PatternBrowserSession::Status PatternBrowserSession::SendToActiveMirror() {
    if (!ActiveMirrorValid())
        return Status::NoActiveMirror;
    if (CurrentVoltages == nullptr)
        return Status::NothingToSend;
    // A pattern made for another mirror would set some channels and leave
    // the rest: it is not sent at all.
    if (PreviewFromSet && PatternSet != nullptr &&
        PatternSet->GetVoltageCount() != ActiveMirror->GetModelActuators())
        return Status::DoesNotFit;
    CaptureCurrentVoltages();
    ActiveMirror->ApplyVoltageListAndSend(CurrentVoltages.get(), 0);
    return Status::Done;
}

PatternBrowserSession::Status PatternBrowserSession::GrabActiveMirror() {
    if (!ActiveMirrorValid())
        return Status::NoActiveMirror;
    CurrentVoltages = std::make_unique<VoltageListClass>();
    ActiveMirror->ReadVoltages(*CurrentVoltages);
    PreviewFromSet = false;
    ApplyCurrentToPreview();
    return Status::Done;
}

bool PatternBrowserSession::CanSave() const {
    return PatternSet != nullptr && PatternSet->IsValid();
}

PatternBrowserSession::Status PatternBrowserSession::Save(const std::string& fileName,
                                                          std::string* reason) {
    if (!CanSave())
        return Status::NoPatternSet;
    if (!PatternSet->Write(fileName, "1.0", reason))
        return Status::WriteFailed;
    Edited = false;
    return Status::Done;
}

void PatternBrowserSession::SetPatternSetName(const std::string& name) {
    if (PatternSet != nullptr && PatternSet->GetPatternSetName() != name) {
        PatternSet->SetPatternSetName(name);
        Edited = true;
    }
}

} // namespace ostrander
