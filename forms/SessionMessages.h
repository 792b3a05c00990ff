#pragma once
// The message boxes the windows show for the engine session's statuses: the
// texts and the caption the program has always shown.
#include "Shared_Software/Mirror/DMInfoClass.h"
#include "model/EngineSession.h"
#include "model/ModelHost.h"

#include <string>

namespace ostrander {

inline constexpr char kSessionMessageCaption[] = "Ostrander";
inline constexpr char kNotCalculated[] = "Influence functions were not calculated.";

// The text of the box for a status; empty when the program shows none.
std::string SessionMessageText(RunTick status);

// Shows the box for a status, if the program shows one (modal).
void ShowSessionMessage(RunTick status);
// A run start as the user sees it: its box, then the information box says
// that the run goes or that the influence functions were not calculated.
// The box names what makes the session's mirror unusable when that was why.
void ReportRunStart(const EngineSession& session, RunStart status, ModelHost* host);

// The actuator map's problems (see MapCheck), all in one box; true when the
// map leaves the actuators without display numbers of their own, so no run
// can start on it (the box ends with that error).
bool ShowMapProblems(const std::string& mapFile, const MapCheck& check);

// The boxes of a recalculation, in the order the steps ran: a changed mirror
// parameter (synthesis), then a missing surface (far field).
void ShowSessionMessages(const RecalculationResult& result);

} // namespace ostrander
