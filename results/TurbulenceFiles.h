#pragma once
// The files of a turbulence correction study (model/TurbulenceStudy.h) of
// one or more mirrors: correction.csv (a row per mirror and D/r0),
// summary.json (each mirror's bias and fitting coefficient a_F, the
// convention, the seed and generator, the reference curves), the plot
// correction.png (Strehl ratio and residual RMS against D/r0, a curve per
// mirror, the reference curves dashed) and FITS cubes of kept screens; and
// the Strehl panel alone on any canvas.
#include "model/EngineGrid.h"
#include "model/TurbulenceStudy.h"
#include "toolkit/Canvas.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ostrander {

// One mirror's study, as its files show it.
struct MirrorCorrection {
    std::string device;
    std::string mirrorFile;
    std::string model;
    double bias = 0.0;
    bool biasFound = false;
    std::vector<std::pair<double, double>> biasCandidates; // volts, mean residual RMS m
    int pads = 0;
    double pitch = 0.0;    // mean actuator pitch, m
    double diameter = 0.0; // beam diameter, m
    EngineGrid grid;
    std::vector<TurbulencePoint> points;
    std::optional<double> fittingCoefficient;
    std::vector<ScreenCorrection> kept; // screens with their grids
};

struct CorrectionRun {
    TurbulenceSettings settings; // the bias of each mirror is in its entry
    std::string version;
    std::string commandLine;
    std::string utcTime;
    std::vector<MirrorCorrection> mirrors;
};

// The generator, as the summary states it.
inline constexpr const char* kScreenGenerator =
    "FFT phase screens on a grid at least twice the engine grid (our radix-2 transform, baseline "
    "build) with 3 levels of subharmonics; normal deviates from std::mt19937_64 by the polar "
    "Box-Muller method; screen k of every D/r0 is the same screen scaled by (D/r0)^(5/6)";

std::string CorrectionCsv(const CorrectionRun& run);
std::string CorrectionSummaryJson(const CorrectionRun& run);
// Strehl ratio (left, linear) and residual RMS in nm (right, logarithmic)
// against D/r0 (logarithmic); nullptr when no picture backend is installed.
std::unique_ptr<Canvas> CorrectionPlot(const CorrectionRun& run);
// The Strehl ratio against D/r0 alone, as the plot's left panel draws it, on
// the whole canvas with its legend (a window's live curve); white for a run
// without D/r0 values or mirrors, or a canvas too small for a plot.
void DrawStrehlPlot(Canvas& canvas, const CorrectionRun& run);

// The file of the kept screens of mirror `mirror` (0-based) at D/r0 point
// `point`, of one kind ("wavefront", "surface" or "residual").
std::string KeptScreensFileName(const CorrectionRun& run, int mirror, int point, const std::string& kind);
// Its bytes: a FITS cube of one plane per kept screen, rows along y as in
// surface.fits, metres; false with the reason when nothing is kept there.
bool KeptScreensFits(const CorrectionRun& run, int mirror, int point, const std::string& kind,
                     std::string& bytes, std::string& error);

} // namespace ostrander
