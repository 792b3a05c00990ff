#include "results/ResultFiles.h"

#include "results/SessionResult.h"
#include "formats/FitsFile.h"
#include "formats/GridCsv.h"
#include "model/MeasuredMembraneModel.h"
#include "model/ShapeName.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>
#include <optional>

namespace ostrander {

namespace {

const char* Bool(bool value) {
    return value ? "true" : "false";
}

QString Q(const std::string& text) {
    return QString::fromStdString(Utf8FromFileText(text));
}

// A JSON number, or null when it is not finite.
QJsonValue Number(double value) {
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue();
}

constexpr double kArcsecondsPerRadian = 180.0 * 3600.0 / std::numbers::pi;

// A header string: printable ASCII (anything else becomes '?'), cut to what
// one card holds.
std::string FitsText(const std::string& text) {
    std::string out;
    for (const char c : text.substr(0, 60))
        out += (c >= 0x20 && c < 0x7f) ? c : '?';
    return out;
}

// The run the grid belongs to: device, model, which surface and the
// voltages held, by display number.
void RunKeys(FitsImage& image, const SimulationResult& result, const SummaryContext& context) {
    image.keys.push_back({"DEVICE", FitsText(context.device), "mirror"});
    image.keys.push_back({"MODEL", FitsText(result.model), "membrane model"});
    image.keys.push_back(
        {"SURFACE", std::string(SurfaceKind(result)), "linear or nonlinear equilibrium"});
    image.keys.push_back({"STREHL", result.strehl, "far-field peak over a flat mirror's"});
    for (std::size_t k = 0; k < result.voltages.size() && k < 9999; ++k)
        image.keys.push_back({"VOLT" + std::to_string(k + 1), result.voltages[k],
                              "[V] actuator " + std::to_string(k + 1)});
}

// The corrections and the areas of the figures.
void CorrectionKeys(FitsImage& image, const SimulationResult& result,
                    const DisplayOptions& options) {
    image.keys.push_back({"CORRECT", FitsText(options.removeFocus ? "tilt, piston, focus"
                                                                  : "tilt"),
                          "terms fitted over the beam, removed over membrane"});
    if (options.removeFocus)
        image.keys.push_back({"FOCUSKPT", options.focusAdjust, "fraction of the focus kept"});
    image.keys.push_back({"FITAREA", std::string("BEAM"), "corrections fitted over r < BEAMRAD"});
    image.keys.push_back({"CORAREA", std::string(options.removeFocus ? "BEAM" : "MEMBRANE"),
                          options.removeFocus ? "beyond BEAMRAD set to 0"
                                              : "corrections removed over r < MEMBRAD"});
    image.keys.push_back({"PVBEAM", result.pv, "[m] peak-to-valley over r < BEAMRAD"});
    image.keys.push_back({"RMSBEAM", result.pupilRms, "[m] RMS about the mean, r < BEAMRAD"});
    image.keys.push_back({"PVMEMB", result.membranePv, "[m] peak-to-valley over r < MEMBRAD"});
    image.keys.push_back(
        {"SIGNCONV", std::string("NEGATIVE TOWARDS PADS"), "a pulling pad gives negative heights"});
}

void CommonKeys(FitsImage& image, const RunGeometry& geometry, const std::string& program) {
    image.keys.push_back({"WAVELEN", geometry.wavelength, "[m] wavelength"});
    image.keys.push_back({"BEAMRAD", geometry.beamRadius, "[m] radius of the analysed beam"});
    image.keys.push_back({"GAUSSRAD", geometry.gaussianRadius,
                          "[m] 1/e amplitude radius of the Gaussian beam"});
    image.keys.push_back({"MEMBRAD", geometry.membraneRadius, "[m] membrane radius"});
    image.keys.push_back({"ORIGIN", program, "program that wrote the file"});
}

} // namespace

bool ParseGridFormats(const std::string& list, DisplayOptions& options, std::string& error) {
    bool csv = false, fits = false;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(',', start);
        if (end == std::string::npos)
            end = list.size();
        const std::string word = list.substr(start, end - start);
        if (word == "csv") {
            csv = true;
        } else if (word == "fits") {
            fits = true;
        } else {
            error = "--formats " + list + ": a comma-separated list of csv and fits was expected";
            return false;
        }
        start = end + 1;
    }
    options.csvGrids = csv;
    options.fitsGrids = fits;
    return true;
}

std::string SurfaceCsv(const SimulationResult& result) {
    return GridCsv(result.surface, result.n);
}

const char* SurfaceKind(const SimulationResult& result) {
    return result.nonlinearSurface ? "nonlinear" : "linear";
}

std::string CorrectionText(const DisplayOptions& options) {
    std::string text = "tilt";
    if (options.removeFocus) {
        char kept[64];
        std::snprintf(kept, sizeof kept, "%.6g", options.focusAdjust);
        text += ", piston and focus (a fraction " + std::string(kept) +
                " of the focus kept)";
    }
    text += " fitted by least squares over the beam (r < beam_radius_m) and subtracted over "
            "the whole membrane (r < membrane_radius_m), so there is no step at the beam's edge";
    if (options.removeFocus)
        text += "; the ring between the beam and the membrane's rim is then set to 0";
    return text;
}

std::string FarFieldCsv(const SimulationResult& result) {
    return "# far-field intensity over the peak of a flat mirror's far field with the same beam "
           "and grid: a flat mirror's peak is 1, this peak is the Strehl ratio; rows along y, "
           "optical axis at 0-based row and column " +
           std::to_string(result.farFieldSize / 2) + "\n" +
           GridCsv(result.farField, result.farFieldSize);
}

std::string EncircledEnergyCsv(const ResultAnalysis& analysis, const RunGeometry& geometry) {
    std::string text = "radius_elements,radius_lambda_over_d,radius_rad,encircled_energy\n";
    const double scale = geometry.PixelScale();
    const double lambdaOverD = geometry.LambdaOverD();
    for (std::size_t k = 0; k < analysis.encircledEnergy.size(); ++k) {
        const double rad = static_cast<double>(k) * scale;
        text += std::to_string(k) + "," + FormatNumber(lambdaOverD > 0 ? rad / lambdaOverD : 0.0) +
                "," + FormatNumber(rad) + "," + FormatNumber(analysis.encircledEnergy[k]) + "\n";
    }
    return text;
}

FitsImage SurfaceFits(const SimulationResult& result, const SummaryContext& context,
                      const DisplayOptions& options) {
    const RunGeometry& geometry = context.geometry;
    FitsImage image;
    image.columns = image.rows = result.n;
    image.values = RowsAlongY(result.surface, result.n);
    image.keys.push_back({"BUNIT", std::string("m"), "membrane deflection, metres"});
    image.keys.push_back({"PIXELSCL", geometry.dx, "[m] sample spacing"});
    image.keys.push_back({"CTYPE1", std::string("x"), "column axis"});
    image.keys.push_back({"CUNIT1", std::string("m"), ""});
    image.keys.push_back({"CDELT1", geometry.dx, "[m] spacing along x"});
    image.keys.push_back({"CRPIX1", static_cast<double>(result.n / 2 + 1), "pixel of x = 0"});
    image.keys.push_back({"CRVAL1", 0.0, ""});
    image.keys.push_back({"CTYPE2", std::string("y"), "row axis"});
    image.keys.push_back({"CUNIT2", std::string("m"), ""});
    image.keys.push_back({"CDELT2", geometry.dx, "[m] spacing along y"});
    image.keys.push_back({"CRPIX2", static_cast<double>(result.n / 2 + 1), "pixel of y = 0"});
    image.keys.push_back({"CRVAL2", 0.0, ""});
    RunKeys(image, result, context);
    CorrectionKeys(image, result, options);
    CommonKeys(image, geometry, context.program);
    image.comments = {
        std::string("Corrected membrane surface (") + SurfaceKind(result) +
            ") in metres, negative towards the pads; corrections as CORRECT says,",
        "fitted over the beam (r < BEAMRAD) and removed over the membrane (r < MEMBRAD).",
        "Row r (0-based, first row first) is y = (r - n/2) dx, column c is x = (c - n/2) dx;",
        "the first row is the top row of surface.png, as in surface.csv."};
    return image;
}

FitsImage FarFieldFits(const SimulationResult& result, const SummaryContext& context,
                       const DisplayOptions& options) {
    const RunGeometry& geometry = context.geometry;
    FitsImage image;
    const int size = result.farFieldSize;
    image.columns = image.rows = size;
    image.values = RowsAlongY(result.farField, size);
    const double scale = geometry.PixelScale();
    // Intensity over a flat mirror's peak has no unit.
    image.keys.push_back({"BUNIT", std::string(""), "intensity over a flat mirror's peak"});
    image.keys.push_back({"FFNORM", std::string("FLAT MIRROR PEAK = 1"),
                          "peak of this image = Strehl ratio"});
    image.keys.push_back({"FLATPEAK", result.flatMirrorPeak,
                          "flat mirror's peak |sum of amplitudes|^2, unscaled"});
    image.keys.push_back({"PIXELSCL", scale * kArcsecondsPerRadian, "[arcsec/pixel]"});
    image.keys.push_back({"PIXSCRAD", scale, "[rad/pixel]"});
    image.keys.push_back({"DIFFLMT", geometry.LambdaOverD() * kArcsecondsPerRadian,
                          "[arcsec] wavelength / beam 1/e^2 diameter"});
    image.keys.push_back({"PIXLAMD", scale / std::max(geometry.LambdaOverD(), 1e-300),
                          "[lambda/D per pixel]"});
    for (const char* axis : {"1", "2"}) {
        image.keys.push_back({std::string("CTYPE") + axis, std::string(*axis == '1' ? "ANGLE_X" : "ANGLE_Y"), ""});
        image.keys.push_back({std::string("CUNIT") + axis, std::string("rad"), ""});
        image.keys.push_back({std::string("CDELT") + axis, scale, "[rad/pixel]"});
        image.keys.push_back({std::string("CRPIX") + axis, static_cast<double>(size / 2 + 1),
                              "pixel of the optical axis"});
        image.keys.push_back({std::string("CRVAL") + axis, 0.0, ""});
    }
    RunKeys(image, result, context);
    image.keys.push_back({"CORRECT", FitsText(options.removeFocus ? "tilt, piston, focus"
                                                                  : "tilt"),
                          "taken off the surface before the transform"});
    CommonKeys(image, geometry, context.program);
    image.comments = {"Far-field intensity of the Gaussian beam (1/e amplitude radius GAUSSRAD)",
                      "reflected by the whole grid, over a flat mirror's peak (FFNORM).",
                      "Rows and columns as in farfield.csv; the optical axis is at",
                      "row and column size/2 (0-based)."};
    return image;
}

QJsonObject RunHeaderJson(const SummaryContext& context, const std::string& model) {
    QJsonObject json;
    json["program"] = Q(context.program);
    json["version"] = Q(context.version);
    json["command_line"] = Q(context.commandLine);
    json["time_utc"] = Q(context.utcTime);
    json["device"] = Q(context.device);
    json["mirror_file"] = Q(context.mirrorFile);
    json["model"] = Q(model);
    return json;
}

QJsonObject SummaryObject(const SimulationResult& result, const ResultAnalysis& analysis,
                          const SummaryContext& context, const DisplayOptions& options) {
    const RunGeometry& g = context.geometry;
    QJsonObject json = RunHeaderJson(context, result.model);
    json["max_deflection_m"] = Number(result.maxDeflection);
    if (!std::isnan(result.pullInFactor))
        json["pull_in_factor"] = Number(result.pullInFactor);
    if (result.model == MeasuredMembraneModel::kName)
        json["pull_in"] = kMeasuredPullIn;
    json["surface"] = SurfaceKind(result);
    if (!context.pattern.empty())
        json["pattern"] = Q(context.pattern);
    if (!context.patternSet.empty())
        json["pattern_set"] = Q(context.patternSet);
    // A sample pattern's named term beside what these voltages give.
    if (const std::optional<PatternTerm>& t = context.patternTerm) {
        QJsonObject term;
        term["noll"] = t->noll;
        term["label"] = Q(ShapeTermLabel(t->noll));
        term["named_m"] = t->named;
        term["named_for"] = "the exact model's nonlinear surface";
        term["achieved_m"] = Number(t->achieved);
        term["from"] = Q(t->flat);
        json["pattern_term"] = term;
    }

    QJsonObject voltages;
    for (std::size_t k = 0; k < result.voltages.size(); ++k)
        voltages[QString::number(k + 1)] = Number(result.voltages[k]);
    json["voltages"] = voltages;
    json["voltages_at_floor"] = result.voltagesAtFloor;
    json["run_voltage"] = Number(result.runVoltage);
    json["peak_voltage"] = Number(result.peakVoltage);
    json["mean_voltage"] = Number(result.meanVoltage);

    json["pv_m"] = Number(result.pv);
    json["membrane_pv_m"] = Number(result.membranePv);
    json["snap_down"] = result.snapDown;
    json["pupil_min_m"] = Number(result.pupilMin);
    json["pupil_max_m"] = Number(result.pupilMax);
    json["pupil_rms_m"] = Number(result.pupilRms);
    json["rms_m"] = Number(analysis.beamRms);
    json["strehl"] = Number(result.strehl);
    json["largest_phase_step_rad"] = Number(analysis.largestPhaseStep);
    json["undersampled"] = analysis.undersampled;
    json["warnings"] = WarningsJson(context.warnings);

    QJsonArray terms;
    for (const double c : analysis.zernike)
        terms.append(Number(c));
    QJsonObject zernike;
    zernike["coefficients_m"] = terms;
    zernike["ordering"] = "Noll: element k is term j = k + 1 (1 piston, 2 tilt x, 3 tilt y, "
                          "4 focus, 5 and 6 astigmatism, 7 and 8 coma, 11 spherical)";
    zernike["normalisation"] =
        "each term has unit RMS over the beam disc (Noll), so a coefficient is the RMS "
        "of its term in metres of surface";
    zernike["disc"] = "rho = r / beam_radius_m; theta from +x towards +y";
    json["zernike"] = zernike;

    QJsonObject areas;
    areas["pv_m, pupil_min_m, pupil_max_m, pupil_rms_m, rms_m, zernike, largest_phase_step_rad"] =
        "the beam disc r < grid.beam_radius_m";
    areas["membrane_pv_m"] = "the membrane disc r < grid.membrane_radius_m";
    areas["strehl, far field, encircled energy"] =
        "the Gaussian beam of 1/e amplitude radius grid.gaussian_beam_radius_m over the whole "
        "grid, as the window's far field";
    areas["snap_down"] =
        "classic model: the peak-to-valley over the whole grid (as the pictures' label) above "
        "a third of the gap; exact model: no equilibrium at these voltages (pull_in_factor <= 1)";
    json["areas"] = areas;
    json["correction"] = QString::fromStdString(CorrectionText(options));
    json["sign_convention"] = "surface heights in metres along the mirror's normal, negative "
                              "towards the pads (a pulling pad gives a negative deflection)";
    json["remove_focus"] = options.removeFocus;
    json["focus_adjust"] = options.focusAdjust;
    json["zoom"] = options.zoom;
    json["pictures"] = options.pictures;

    QJsonObject grid;
    grid["samples"] = g.n;
    grid["spacing_m"] = Number(g.dx);
    grid["membrane_radius_m"] = Number(g.membraneRadius);
    grid["beam_radius_m"] = Number(g.beamRadius);
    grid["gaussian_beam_radius_m"] = Number(g.gaussianRadius);
    json["grid"] = grid;
    json["wavelength_m"] = Number(g.wavelength);
    QJsonObject farField;
    farField["samples"] = g.farFieldSize;
    farField["pixel_scale_rad"] = Number(g.PixelScale());
    farField["lambda_over_d_rad"] = Number(g.LambdaOverD());
    farField["pixel_scale_lambda_over_d"] =
        Number(g.LambdaOverD() > 0 ? g.PixelScale() / g.LambdaOverD() : 0.0);
    farField["d"] = "D is the Gaussian beam's 1/e^2 intensity diameter, 2 gaussian_beam_radius_m";
    farField["axis_row_column"] = g.farFieldSize / 2;
    farField["normalisation"] =
        "intensity over the peak of a flat mirror's far field with the same beam and grid: a "
        "flat mirror's peak is 1 and the peak equals strehl";
    farField["flat_mirror_peak"] = Number(result.flatMirrorPeak);
    json["far_field"] = farField;
    json["axes"] =
        "grids are stored as the pictures show them: row r (0-based, first line or first "
        "FITS row first) is y = (r - samples/2) spacing_m, column c is x = (c - samples/2) "
        "spacing_m, so y grows downwards; far-field row and column r are angles "
        "(r - axis_row_column) pixel_scale_rad along y and x";

    QJsonObject units;
    for (const char* volts : {"voltages", "run_voltage", "peak_voltage", "mean_voltage"})
        units[volts] = "V";
    for (const char* metres : {"pv_m", "pupil_min_m", "pupil_max_m", "pupil_rms_m", "rms_m",
                               "wavelength_m", "zernike.coefficients_m"})
        units[metres] = "m";
    units["strehl"] = "peak far-field intensity over that of a flat mirror with the same beam";
    units["membrane_pv_m"] = "m";
    units["far_field"] = "intensity over a flat mirror's peak (no unit)";
    units["largest_phase_step_rad"] = "rad of reflected phase (4 pi h / wavelength)";
    units["focus_adjust"] = "fraction of the focus kept";
    units["zoom"] = "far-field picture magnification";
    json["units"] = units;

    QJsonObject files;
    if (options.csvGrids) {
        files["surface.csv"] = "the corrected surface (as correction says; surface names which), "
                               "m, samples x samples, rows as in axes";
        files["farfield.csv"] =
            "far-field intensity over a flat mirror's peak (far_field.normalisation), "
            "far_field.samples square after one '#' line, rows as in axes";
    }
    if (options.fitsGrids) {
        // Without the CSV grids the FITS ones say what they hold themselves.
        const QString surface = options.csvGrids
                                    ? "the same surface"
                                    : "the corrected surface (as correction says; surface "
                                      "names which)";
        const QString farField = options.csvGrids
                                     ? "the same far field"
                                     : "far-field intensity over a flat mirror's peak "
                                       "(far_field.normalisation)";
        files["surface.fits"] = surface + " as a FITS image, BUNIT m, spacing in CDELT1/2; "
                                          "SURFACE, CORRECT, FITAREA, CORAREA and SIGNCONV say "
                                          "what it holds";
        files["farfield.fits"] = farField + " as a FITS image, BUNIT '' and FFNORM for its scale, "
                                            "PIXELSCL arcsec/pixel, PIXSCRAD rad/pixel, WAVELEN "
                                            "m, DIFFLMT arcsec";
    }
    files["encircled_energy.csv"] =
        "fraction of the far-field energy within a radius, in elements, lambda/D and rad";
    if (options.pictures) {
        files["encircled_energy.png"] = "the encircled energy against the radius in lambda/D";
        files["farfield_log.png"] =
            "far-field intensity on a log scale, colour bar in decades, axes in lambda/D";
        files["surface.png"] = "the corrected surface on a colour scale";
        files["interferogram.png"] = "the interferogram of the corrected surface at wavelength_m";
        files["threed.png"] = "the corrected surface in three dimensions";
        files["farfield.png"] = "the far-field intensity as the window shows it";
        files["farfieldplot.png"] = "the far-field intensity in three dimensions";
        files["mirror.png"] = "the actuator map with the voltages";
    }
    files["summary.json"] = "this file";
    json["files"] = files;
    return json;
}

namespace {

// Cells of a value below path: numbers and booleans; texts only at the top.
void AddCells(const QString& path, const QJsonValue& value, bool top,
              std::vector<std::pair<std::string, std::string>>& cells) {
    if (value.isDouble()) {
        cells.emplace_back(path.toStdString(), FormatNumber(value.toDouble()));
    } else if (value.isBool()) {
        cells.emplace_back(path.toStdString(), Bool(value.toBool()));
    } else if (value.isNull()) {
        cells.emplace_back(path.toStdString(), std::string());
    } else if (value.isString()) {
        if (top)
            cells.emplace_back(path.toStdString(), value.toString().toStdString());
    } else if (value.isArray()) {
        const QJsonArray array = value.toArray();
        for (qsizetype k = 0; k < array.size(); ++k)
            AddCells(path + "." + QString::number(k + 1), array[k], false, cells);
    } else if (value.isObject()) {
        const QJsonObject object = value.toObject();
        QStringList keys = object.keys();
        // Numbered keys (the voltages) in the order of their numbers.
        bool numbered = !keys.isEmpty();
        for (const QString& key : keys) {
            bool isNumber = false;
            key.toInt(&isNumber);
            numbered = numbered && isNumber;
        }
        if (numbered)
            std::sort(keys.begin(), keys.end(),
                      [](const QString& a, const QString& b) { return a.toInt() < b.toInt(); });
        for (const QString& key : keys)
            AddCells(path + "." + key, object[key], false, cells);
    }
}

// The columns written before the others, from the row itself.
constexpr const char* kLeadingColumns[] = {"index",  "name",      "pv_m", "pupil_rms_m",
                                           "strehl", "snap_down", "folder"};

} // namespace

std::vector<std::pair<std::string, std::string>> SummaryCells(const QJsonObject& summary) {
    std::vector<std::pair<std::string, std::string>> cells;
    for (auto it = summary.begin(); it != summary.end(); ++it) {
        const QString key = it.key();
        // Descriptions, not figures.
        if (key == "units" || key == "files" || key == "axes" || key == "correction" ||
            key == "sign_convention")
            continue;
        if (key == "warnings") {
            std::string kinds;
            for (const QJsonValue& w : it.value().toArray())
                kinds += (kinds.empty() ? "" : ";") + w.toObject()["kind"].toString().toStdString();
            cells.emplace_back("warnings", kinds);
            continue;
        }
        AddCells(key, it.value(), true, cells);
    }
    return cells;
}

std::string SweepCsv(const std::vector<SweepRow>& rows) {
    std::vector<std::string> columns(std::begin(kLeadingColumns), std::end(kLeadingColumns));
    std::vector<std::map<std::string, std::string>> values;
    for (const SweepRow& row : rows) {
        std::map<std::string, std::string> cells;
        for (auto& [name, value] : SummaryCells(row.summary)) {
            if (name == "pattern")
                continue; // the name column
            if (std::find(columns.begin(), columns.end(), name) == columns.end())
                columns.push_back(name);
            cells[name] = std::move(value);
        }
        cells["index"] = std::to_string(row.index);
        cells["name"] = Utf8FromFileText(row.name);
        cells["folder"] = row.folder;
        values.push_back(std::move(cells));
    }
    std::string text;
    for (std::size_t c = 0; c < columns.size(); ++c)
        text += (c ? "," : "") + CsvField(columns[c]);
    text += "\n";
    for (const auto& cells : values) {
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const auto it = cells.find(columns[c]);
            text += (c ? "," : "") + (it == cells.end() ? std::string() : CsvField(it->second));
        }
        text += "\n";
    }
    return text;
}

} // namespace ostrander
