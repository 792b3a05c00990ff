#pragma once
// The files of a simulation besides the pictures: the corrected surface and
// the far-field intensities as CSV and FITS grids, the encircled energy, the
// figures and the description of the run as JSON, and the rows of a sweep.
// CSV numbers are written in the shortest form that reads back to the same
// double, independent of the locale.
//
// Every grid is written as the pictures show it: row r from the top is
// y = (r - n/2) dx, column c is x = (c - n/2) dx (y grows downwards).
#include "formats/GridCsv.h"
#include "model/MembraneModel.h"
#include "results/RunDescription.h"
#include "results/RunWarnings.h"

#include <QJsonObject>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ostrander {

struct SimulationResult;
struct DisplayOptions;
struct FitsImage;

// The grid formats of a comma-separated list of "csv" and "fits" ("fits",
// "csv,fits") into options; false with the reason for another word or none.
bool ParseGridFormats(const std::string& list, DisplayOptions& options, std::string& error);

// n lines of n values, metres.
std::string SurfaceCsv(const SimulationResult& result);
// A '#' line saying the scale, then size lines of size values, intensity
// over a flat mirror's peak; zero frequency at line and column size/2 + 1
// (1-based) of the numbers.
std::string FarFieldCsv(const SimulationResult& result);
// radius in elements, in lambda/D and in radians, and the energy fraction.
std::string EncircledEnergyCsv(const ResultAnalysis& analysis, const RunGeometry& geometry);

struct SummaryContext;

// The grids as FITS images whose headers say the run: device, model,
// voltages, which surface, its corrections and areas, the sign and the
// far field's scale; the program of context is the ORIGIN card.
FitsImage SurfaceFits(const SimulationResult& result, const SummaryContext& context,
                      const DisplayOptions& options);
FitsImage FarFieldFits(const SimulationResult& result, const SummaryContext& context,
                       const DisplayOptions& options);

// Which surface a result holds, as the summary and the headers name it:
// "linear" or "nonlinear".
const char* SurfaceKind(const SimulationResult& result);
// The corrections taken off the surface, in words, as the summary and the
// headers state them.
std::string CorrectionText(const DisplayOptions& options);

struct SummaryContext {
    std::string program = "ostrander-cli"; // the program that writes the files
    std::string device;
    std::string mirrorFile;
    std::string pattern; // pattern name, empty without one
    std::string patternSet; // the name of the pattern's set, empty without one
    std::optional<PatternTerm> patternTerm; // a sample pattern's term, when measured
    std::string version;
    // The command line of the run; for the window's export, the
    // ostrander-cli command that writes the same result.
    std::string commandLine;
    std::string utcTime; // ISO 8601
    std::string model{MembraneModels().front().name};
    RunGeometry geometry;
    std::vector<RunWarning> warnings;
};
// The fields every summary.json starts with: program, version, command line,
// time, device, mirror file and model.
QJsonObject RunHeaderJson(const SummaryContext& context, const std::string& model);
QJsonObject SummaryObject(const SimulationResult& result, const ResultAnalysis& analysis,
                          const SummaryContext& context, const DisplayOptions& options);

// The scalars of a summary as named CSV cells: every number and boolean by
// its dotted path ("far_field.pixel_scale_rad", "voltages.3",
// "zernike.coefficients_m.4" for Noll term 4), the texts at its top level
// (device, model, command line, ...), and "warnings" as the kinds of its
// warnings separated by ';'. A null number is an empty cell.
std::vector<std::pair<std::string, std::string>> SummaryCells(const QJsonObject& summary);

// One pattern of a sweep.
struct SweepRow {
    int index = 0;
    std::string name;
    std::string folder;
    QJsonObject summary;
};
// A sweep's summary.csv: index, name, pv_m, pupil_rms_m, strehl, snap_down,
// folder, then the other cells of each pattern's summary (SummaryCells), a
// column for every name any pattern has.
std::string SweepCsv(const std::vector<SweepRow>& rows);

} // namespace ostrander
