#include "forms/SessionMessages.h"

#include "toolkit/Dialogs.h"

#include <cctype>

namespace ostrander {

namespace {

void Show(const std::string& text) {
    if (!text.empty())
        Dialogs::Instance().ShowMessage(text, kSessionMessageCaption);
}

} // namespace

std::string SessionMessageText(RunTick status) {
    return status == RunTick::Cancelled ? "Cancelled Influence Functions..." : std::string();
}

void ShowSessionMessage(RunTick status) {
    Show(SessionMessageText(status));
}

void ReportRunStart(const EngineSession& session, RunStart status, ModelHost* host) {
    Show(session.RunRefusal(status));
    if (!host)
        return;
    host->ClearInformation();
    // A refused run (the box told the user why) must not leave the
    // information box asking the user to wait for it.
    if (status == RunStart::Started || status == RunStart::CancelRequested) {
        host->AddInformationLine("Calculating Influence Functions.");
        host->AddInformationLine("Please wait.");
    } else {
        host->AddInformationLine(kNotCalculated);
    }
}

bool ShowMapProblems(const std::string& mapFile, const MapCheck& check) {
    std::string text;
    for (const std::string& line : MapProblemLines(mapFile, check))
        text += (text.empty() ? "" : "\n\n") + line + ".";
    if (!text.empty()) {
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
        Show(text);
    }
    return !MapNumberingError(mapFile, check).empty();
}

void ShowSessionMessages(const RecalculationResult& result) {
    if (result.parameterChanged)
        Show("You changed a mirror parameter.  These influence functions may not be valid.");
    if (result.status == Recalculation::NoSurface)
        Show("Generate Phase First.");
}

} // namespace ostrander
