#pragma once
// The message boxes the windows show for the engine session's statuses: the
// texts and the caption the program has always shown.
#include "model/EngineSession.h"

#include <string>

namespace ostrander {

inline constexpr char kSessionMessageCaption[] = "Ostrander";

// The text of the box for a status; empty when the program shows none.
std::string SessionMessageText(RunStart status);
std::string SessionMessageText(RunTick status);

// Shows the box for a status, if the program shows one (modal).
void ShowSessionMessage(RunStart status);
void ShowSessionMessage(RunTick status);
// The boxes of a recalculation, in the order the steps ran: a changed mirror
// parameter (synthesis), then a missing surface (far field).
void ShowSessionMessages(const RecalculationResult& result);

} // namespace ostrander
