#pragma once
// The five result pictures drawn from the engine's data: the model record
// (grids), the working state (display options, kept view grids) and the
// selected mirror's DM model. The main window draws them onto its picture
// controls and batch tools onto images, with the same calls. Each draws
// nothing at all when no mirror model is selected.
#include "model/pictures/SurfaceImages.h"

#include <string_view>

namespace ostrander {

class Canvas;
class DMInfoClass;
class DMModelLocal;
class DMModelMain;
class EngineSession;

// The DM model of the selected mirror, or null.
const DMInfoClass* SelectedModel(const DMModelLocal& local);

// With "Remove Focus and Piston" the surface beyond the beam is cleared
// first. The surface pictures store the surface's extremes in the record.
void DrawSurfaceImage(Canvas& canvas, DMModelMain& engine);
void DrawInterferogram(Canvas& canvas, DMModelMain& engine);
void DrawThreeDImage(Canvas& canvas, DMModelMain& engine);

// The far-field pictures of the record's transform at the chosen zoom; the
// plot stores its level extremes in the record.
void DrawFarFieldImage(Canvas& canvas, DMModelMain& engine, std::string_view title);
void DrawFarFieldPlot(Canvas& canvas, DMModelMain& engine);

// The same pictures of a session's present results, for the windows and the
// result files above the model. The surface image returns the extremes it
// was drawn over (finite false when it drew none), which its colour bar shows.
GridRange DrawSurfaceImage(Canvas& canvas, EngineSession& session);
void DrawInterferogram(Canvas& canvas, EngineSession& session);
void DrawThreeDImage(Canvas& canvas, EngineSession& session);
void DrawFarFieldImage(Canvas& canvas, EngineSession& session, std::string_view title);
void DrawFarFieldPlot(Canvas& canvas, EngineSession& session);

// Whether the session's surface is there and level everywhere: every pad
// at the same voltage, which the surface pictures show as "Nothing to
// display." and a window had better explain (DrawFlatSurfaceNote).
bool SurfaceIsLevel(EngineSession& session);

// The caption the far-field step gives its image.
inline constexpr char kFarFieldTitle[] = "Far Field Intensity";

} // namespace ostrander
