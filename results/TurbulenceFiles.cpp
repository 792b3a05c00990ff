// The files of a turbulence correction study; see TurbulenceFiles.h.
#include "results/TurbulenceFiles.h"

#include "formats/FitsFile.h"
#include "toolkit/Format.h"
#include "toolkit/PictureBackend.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ostrander {

namespace {

QJsonValue Number(double value) {
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue();
}

std::string Cell(double value) {
    if (!std::isfinite(value))
        return "";
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

// A CSV field, quoted when it holds a comma, a quote or a line break.
std::string Field(const std::string& text) {
    if (text.find_first_of(",\"\n\r") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

TurbulenceReference Reference(const MirrorCorrection& m, double dOverR0) {
    return ReferenceVariances(dOverR0, m.diameter > 0 ? m.pitch / m.diameter : 0.0);
}

} // namespace

std::string CorrectionCsv(const CorrectionRun& run) {
    const double lambda = run.settings.wavelength;
    std::string text = "mirror,model,bias_v,d_over_r0,screens,residual_rms_nm_mean,"
                       "residual_rms_nm_spread,strehl_mean,strehl_spread,marechal_mean,"
                       "saturated_fraction,pads_at_bounds_mean,uncorrected_rms_nm,"
                       "theory_uncorrected_rms_nm,theory_tip_tilt_rms_nm,"
                       "theory_fitting_error_rms_nm\n";
    for (const MirrorCorrection& m : run.mirrors)
        for (const TurbulencePoint& p : m.points) {
            const TurbulenceReference r = Reference(m, p.dOverR0);
            text += Field(m.device) + "," + m.model + "," + Cell(m.bias) + "," + Cell(p.dOverR0) +
                    "," + std::to_string(p.screens) + "," + Cell(p.residualRmsMean * 1e9) + "," +
                    Cell(p.residualRmsSpread * 1e9) + "," + Cell(p.strehlMean) + "," +
                    Cell(p.strehlSpread) + "," + Cell(p.marechalMean) + "," +
                    Cell(p.saturatedFraction) + "," + Cell(p.padsAtBoundsMean) + "," +
                    Cell(p.inputRmsMean * 1e9) + "," +
                    Cell(PathRms(r.uncorrected, lambda) * 1e9) + "," +
                    Cell(PathRms(r.tipTilt, lambda) * 1e9) + "," +
                    Cell(PathRms(r.fittingError, lambda) * 1e9) + "\n";
        }
    return text;
}

std::string CorrectionSummaryJson(const CorrectionRun& run) {
    const TurbulenceSettings& s = run.settings;
    QJsonObject json;
    json["program"] = "ostrander-cli";
    json["version"] = QString::fromStdString(run.version);
    json["command_line"] = QString::fromStdString(run.commandLine);
    json["time_utc"] = QString::fromStdString(run.utcTime);
    json["convention"] = kTurbulenceConvention;
    json["seed"] = QString::number(s.seed); // as text: JSON numbers lose 64-bit integers
    json["generator"] = kScreenGenerator;
    json["screens_per_d_over_r0"] = s.screens;
    QJsonArray dr0;
    for (double v : s.dOverR0)
        dr0.append(v);
    json["d_over_r0"] = dr0;
    json["d"] = "the beam's diameter (the disc the fit and the figures cover)";
    json["wavelength_m"] = s.wavelength;
    json["r0_at"] = "wavelength_m; the Strehl ratio and the phase variances are at it too";
    json["outer_scale_m"] = Number(s.outerScale); // null: infinite (Kolmogorov)
    json["strehl"] = "peak of the far field of the residual field exp(2 pi i (W - 2h) / wavelength) "
                     "over the beam, zero-padded at least 2x, over a flat wavefront's peak; "
                     "marechal = exp(-(2 pi rms / wavelength)^2) beside it";
    json["saturated"] = QString("a screen whose fit holds a pad at the floor or ceiling or meets the "
                                "mean-voltage rule, or whose voltages have a pull-in factor below %1 "
                                "(exact model; classic: deflection past a third of the gap); it "
                                "keeps its best bounded fit")
                            .arg(kTurbulencePullInMargin);
    json["fitting_coefficient"] =
        "a_F in sigma^2 = a_F (d/r0)^(5/3) rad^2, d the mean actuator pitch (mean distance from a "
        "pad's centre to the nearest other's): the geometric mean of sigma^2 / (d/r0)^(5/3) over "
        "the D/r0 points with at most 10 % of their screens saturated; an ideal continuous mirror "
        "has 0.274";
    QJsonObject references;
    references["uncorrected"] = "1.0299 (D/r0)^(5/3) rad^2 (Noll, piston removed)";
    references["tip_tilt"] = "0.134 (D/r0)^(5/3) rad^2 (Noll, ideal tip-tilt removal)";
    references["fitting_error"] = "0.274 (d/r0)^(5/3) rad^2 (ideal continuous mirror of pitch d)";
    json["references"] = references;

    QJsonArray mirrors;
    for (const MirrorCorrection& m : run.mirrors) {
        QJsonObject mirror;
        mirror["device"] = QString::fromStdString(m.device);
        mirror["mirror_file"] = QString::fromStdString(m.mirrorFile);
        mirror["model"] = QString::fromStdString(m.model);
        mirror["bias_v"] = m.bias;
        mirror["bias"] = m.biasFound ? "found: the lowest mean residual of the candidates"
                                     : "given with --bias";
        if (m.biasFound) {
            QJsonArray candidates;
            for (const auto& [volts, rms] : m.biasCandidates) {
                QJsonObject c;
                c["bias_v"] = volts;
                c["mean_residual_rms_m"] = Number(rms);
                candidates.append(c);
            }
            mirror["bias_candidates"] = candidates;
        }
        mirror["pads"] = m.pads;
        mirror["actuator_pitch_m"] = m.pitch;
        mirror["beam_diameter_m"] = m.diameter;
        mirror["fitting_coefficient"] =
            m.fittingCoefficient ? QJsonValue(*m.fittingCoefficient) : QJsonValue();
        QJsonArray points;
        for (const TurbulencePoint& p : m.points) {
            const TurbulenceReference r = Reference(m, p.dOverR0);
            QJsonObject point;
            point["d_over_r0"] = p.dOverR0;
            point["screens"] = p.screens;
            point["residual_rms_m"] = Number(p.residualRmsMean);
            point["residual_rms_spread_m"] = Number(p.residualRmsSpread);
            point["residual_variance_rad2"] = Number(p.residualVarianceMean);
            point["strehl"] = Number(p.strehlMean);
            point["strehl_spread"] = Number(p.strehlSpread);
            point["marechal"] = Number(p.marechalMean);
            point["saturated_fraction"] = p.saturatedFraction;
            point["pads_at_bounds"] = p.padsAtBoundsMean;
            point["uncorrected_rms_m"] = Number(p.inputRmsMean);
            QJsonObject theory;
            theory["uncorrected_rad2"] = r.uncorrected;
            theory["tip_tilt_rad2"] = r.tipTilt;
            theory["fitting_error_rad2"] = r.fittingError;
            point["theory"] = theory;
            points.append(point);
        }
        mirror["points"] = points;
        mirrors.append(mirror);
    }
    json["mirrors"] = mirrors;
    QJsonObject files;
    files["correction.csv"] = "a row per mirror and D/r0: means and sample spreads over the "
                              "screens, RMS in nm of the wavefront (optical path)";
    files["correction.png"] = "Strehl ratio and residual RMS against D/r0; reference curves dashed";
    if (s.keep > 0)
        files["screens/"] = "FITS cubes, one plane per kept screen: the wavefront W, the fitted "
                            "surface change h and the residual W - 2h (piston removed, 0 outside "
                            "the beam), metres, rows along y as in surface.fits";
    json["files"] = files;
    return QJsonDocument(json).toJson(QJsonDocument::Indented).toStdString();
}

namespace {

// A plot panel: log x, linear or log y, in canvas pixels.
struct Panel {
    Rect area;
    double x0 = 1, x1 = 10, y0 = 0, y1 = 1;
    bool logY = false;
    int X(double x) const {
        return area.left + static_cast<int>(std::lround((std::log(x) - std::log(x0)) /
                                                        (std::log(x1) - std::log(x0)) *
                                                        (area.Width() - 1)));
    }
    int Y(double y) const {
        const double f = logY ? (std::log(std::max(y, y0 * 1e-3)) - std::log(y0)) /
                                    (std::log(y1) - std::log(y0))
                              : (y - y0) / (y1 - y0);
        return area.bottom - 1 -
               static_cast<int>(std::lround(std::clamp(f, -0.02, 1.02) * (area.Height() - 1)));
    }
};

// Ticks of a log axis: 1, 2, 5 times the powers of ten within [low, high].
std::vector<double> LogTicks(double low, double high) {
    std::vector<double> ticks;
    for (double decade = std::pow(10.0, std::floor(std::log10(low))); decade <= high; decade *= 10)
        for (double m : {1.0, 2.0, 5.0})
            if (m * decade >= low * 0.999 && m * decade <= high * 1.001)
                ticks.push_back(m * decade);
    return ticks;
}

void DrawLine(Canvas& c, const std::vector<std::pair<int, int>>& points, bool dashed) {
    if (points.size() < 2)
        return;
    if (!dashed) {
        c.MoveTo(points[0].first, points[0].second);
        for (std::size_t k = 1; k < points.size(); ++k)
            c.LineTo(points[k].first, points[k].second);
        return;
    }
    // 7 pixels drawn, 5 left out, along the whole polyline.
    double phase = 0.0;
    for (std::size_t k = 1; k < points.size(); ++k) {
        const double ax = points[k - 1].first, ay = points[k - 1].second;
        const double bx = points[k].first, by = points[k].second;
        const double length = std::hypot(bx - ax, by - ay);
        for (double t = 0.0; t < length;) {
            const double inPeriod = std::fmod(phase, 12.0);
            const double run = std::min(length - t, inPeriod < 7.0 ? 7.0 - inPeriod : 12.0 - inPeriod);
            if (inPeriod < 7.0 && length > 0) {
                c.MoveTo(static_cast<int>(std::lround(ax + (bx - ax) * t / length)),
                         static_cast<int>(std::lround(ay + (by - ay) * t / length)));
                c.LineTo(static_cast<int>(std::lround(ax + (bx - ax) * (t + run) / length)),
                         static_cast<int>(std::lround(ay + (by - ay) * (t + run) / length)));
            }
            t += run;
            phase += run;
        }
    }
}

constexpr TColor kPalette[] = {0xB4771F, 0x0E7FFF, 0x2CA02C, 0x2827D6, 0xBD6794, 0x4B568C};

std::string Label(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

void DrawAxes(Canvas& c, const Panel& p, const std::vector<double>& yTicks, const std::string& title,
              const std::string& yLabel) {
    const int textHeight = c.TextHeight("0");
    c.SetPenColor(clSilver);
    for (double t : LogTicks(p.x0, p.x1)) {
        c.MoveTo(p.X(t), p.area.top);
        c.LineTo(p.X(t), p.area.bottom);
    }
    for (double t : yTicks) {
        c.MoveTo(p.area.left, p.Y(t));
        c.LineTo(p.area.right, p.Y(t));
    }
    c.SetPenColor(clBlack);
    c.SetBrushStyle(BrushStyle::Clear);
    c.Rectangle(p.area.left - 1, p.area.top - 1, p.area.right + 1, p.area.bottom + 1);
    for (double t : LogTicks(p.x0, p.x1)) {
        const std::string label = Label(t);
        c.TextOut(p.X(t) - c.TextWidth(label) / 2, p.area.bottom + 4, label);
    }
    for (double t : yTicks) {
        const std::string label = Label(t);
        c.TextOut(p.area.left - 6 - c.TextWidth(label), p.Y(t) - textHeight / 2, label);
    }
    c.TextOut((p.area.left + p.area.right - c.TextWidth("D/r0")) / 2, p.area.bottom + 6 + textHeight,
              "D/r0");
    c.TextOut(p.area.left, p.area.top - 2 * textHeight - 6, title);
    c.TextOut(p.area.left, p.area.top - textHeight - 4, yLabel);
}

// The D/r0 span of the plots, and a fine grid over it for the theory's curves.
struct XRange {
    double x0 = 1.0, x1 = 10.0;
    std::vector<double> fine;
};
XRange XRangeOf(const TurbulenceSettings& s) {
    XRange r;
    const auto [lo, hi] = std::minmax_element(s.dOverR0.begin(), s.dOverR0.end());
    r.x0 = *lo / 1.3;
    r.x1 = *hi * 1.3;
    for (int k = 0; k <= 60; ++k)
        r.fine.push_back(r.x0 * std::pow(r.x1 / r.x0, k / 60.0));
    return r;
}

void FillWhite(Canvas& c) {
    c.SetBrushStyle(BrushStyle::Solid);
    c.SetBrushColor(clWhite);
    c.FillRect({0, 0, c.Width(), c.Height()});
    c.SetBrushStyle(BrushStyle::Clear);
    c.SetFontColor(clBlack);
}

// Theory dashed: uncorrected and tip-tilt (black and grey), each mirror's
// fitting error in its colour; then the mirrors, solid lines through their
// points with a square at each. On the Strehl panel, and on the RMS panel
// when there is one.
void DrawCurves(Canvas& c, const CorrectionRun& run, const XRange& x, const Panel& strehl,
                const Panel* rms) {
    const double lambda = run.settings.wavelength;
    const auto theory = [&](const MirrorCorrection& m, double TurbulenceReference::*which, TColor colour) {
        std::vector<std::pair<int, int>> sPoints, rPoints;
        for (double at : x.fine) {
            const double variance = Reference(m, at).*which;
            sPoints.emplace_back(strehl.X(at), strehl.Y(std::exp(-variance)));
            if (rms)
                rPoints.emplace_back(rms->X(at), rms->Y(PathRms(variance, lambda) * 1e9));
        }
        c.SetPenColor(colour);
        c.SetPenWidth(1);
        DrawLine(c, sPoints, true);
        DrawLine(c, rPoints, true);
    };
    theory(run.mirrors.front(), &TurbulenceReference::uncorrected, clBlack);
    theory(run.mirrors.front(), &TurbulenceReference::tipTilt, clGray);
    for (std::size_t k = 0; k < run.mirrors.size(); ++k)
        theory(run.mirrors[k], &TurbulenceReference::fittingError, kPalette[k % 6]);

    for (std::size_t k = 0; k < run.mirrors.size(); ++k) {
        const MirrorCorrection& m = run.mirrors[k];
        std::vector<TurbulencePoint> points = m.points;
        std::sort(points.begin(), points.end(),
                  [](const TurbulencePoint& a, const TurbulencePoint& b) { return a.dOverR0 < b.dOverR0; });
        std::vector<std::pair<int, int>> sPoints, rPoints;
        for (const TurbulencePoint& p : points) {
            sPoints.emplace_back(strehl.X(p.dOverR0), strehl.Y(p.strehlMean));
            if (rms)
                rPoints.emplace_back(rms->X(p.dOverR0), rms->Y(p.residualRmsMean * 1e9));
        }
        c.SetPenColor(kPalette[k % 6]);
        c.SetPenWidth(2);
        DrawLine(c, sPoints, false);
        DrawLine(c, rPoints, false);
        c.SetBrushStyle(BrushStyle::Solid);
        c.SetBrushColor(kPalette[k % 6]);
        for (const auto& list : {sPoints, rPoints})
            for (const auto& [px, py] : list)
                c.Rectangle(px - 3, py - 3, px + 4, py + 4);
        c.SetBrushStyle(BrushStyle::Clear);
    }
    c.SetPenWidth(1);
}

// The legend from (left, y) on, lines wrapping before `wrapAt`.
void DrawLegend(Canvas& c, const CorrectionRun& run, int left, int y, int wrapAt) {
    const int textHeight = c.TextHeight("0");
    int x = left;
    const auto entry = [&](TColor colour, bool dashed, const std::string& text) {
        c.SetPenColor(colour);
        c.SetPenWidth(dashed ? 1 : 2);
        DrawLine(c, {{x, y + textHeight / 2}, {x + 30, y + textHeight / 2}}, dashed);
        c.SetPenWidth(1);
        c.TextOut(x + 36, y, text);
        x += 36 + c.TextWidth(text) + 24;
        if (x > wrapAt) {
            x = left;
            y += textHeight + 4;
        }
    };
    for (std::size_t k = 0; k < run.mirrors.size(); ++k) {
        const MirrorCorrection& m = run.mirrors[k];
        entry(kPalette[k % 6], false, m.device + " (" + m.model + ", " + Label(m.bias) + " V)");
    }
    entry(clBlack, true, "uncorrected");
    entry(clGray, true, "ideal tip-tilt");
    entry(kPalette[0], true, "ideal fitting error 0.274 (d/r0)^5/3, each mirror's colour");
    c.SetPenColor(clBlack);
}

} // namespace

std::unique_ptr<Canvas> CorrectionPlot(const CorrectionRun& run) {
    constexpr int kWidth = 1000, kHeight = 520;
    std::string error;
    std::unique_ptr<Canvas> canvas = NewPictureCanvas(kWidth, kHeight, error);
    if (!canvas)
        return nullptr;
    Canvas& c = *canvas;
    FillWhite(c);
    const TurbulenceSettings& s = run.settings;
    if (s.dOverR0.empty() || run.mirrors.empty())
        return canvas;
    const double lambda = s.wavelength;
    const XRange x = XRangeOf(s);

    Panel strehl, rms;
    strehl.area = {80, 70, 470, 430};
    rms.area = {580, 70, 970, 430};
    strehl.x0 = rms.x0 = x.x0;
    strehl.x1 = rms.x1 = x.x1;
    strehl.y0 = 0.0;
    strehl.y1 = 1.0;
    rms.logY = true;
    // The RMS axis spans the mirrors' points and the theory's curves, in nm.
    double low = INFINITY, high = 0.0;
    const auto note = [&](double v) {
        if (v > 0 && std::isfinite(v)) {
            low = std::min(low, v);
            high = std::max(high, v);
        }
    };
    for (const MirrorCorrection& m : run.mirrors) {
        for (const TurbulencePoint& p : m.points)
            note(p.residualRmsMean * 1e9);
        for (double at : {x.x0, x.x1}) {
            const TurbulenceReference r = Reference(m, at);
            note(PathRms(r.uncorrected, lambda) * 1e9);
            note(PathRms(r.fittingError, lambda) * 1e9);
        }
    }
    if (!(high > 0))
        high = 1.0, low = 0.1;
    rms.y0 = std::pow(10.0, std::floor(std::log10(low)));
    rms.y1 = std::pow(10.0, std::ceil(std::log10(high)));
    if (rms.y1 <= rms.y0)
        rms.y1 = rms.y0 * 10;

    std::vector<double> rmsTicks;
    for (double t = rms.y0; t <= rms.y1 * 1.001; t *= 10)
        rmsTicks.push_back(t);
    DrawAxes(c, strehl, {0.0, 0.2, 0.4, 0.6, 0.8, 1.0},
             "Strehl ratio at " + Label(lambda * 1e9) + " nm (far field; dashed: theory, Marechal)",
             "Strehl");
    DrawAxes(c, rms, rmsTicks, "Residual wavefront RMS (W - 2h, piston removed)", "nm");
    DrawCurves(c, run, x, strehl, &rms);

    // The legend under the panels.
    const int textHeight = c.TextHeight("0");
    DrawLegend(c, run, 80, kHeight - 2 * textHeight - 8, kWidth - 200);
    c.TextOut(80, 8, "Turbulence correction: W = incoming wavefront, mirror surface h fitted to W/2 "
                     "(reflection doubles the path)");
    return canvas;
}

void DrawStrehlPlot(Canvas& c, const CorrectionRun& run) {
    FillWhite(c);
    const TurbulenceSettings& s = run.settings;
    if (s.dOverR0.empty() || run.mirrors.empty())
        return;
    const XRange x = XRangeOf(s);
    const int textHeight = c.TextHeight("0");
    // Room above for the title and the axis's name, below for the tick
    // labels, "D/r0" and a legend of up to three lines.
    Panel strehl;
    strehl.area = {56, 2 * textHeight + 12, c.Width() - 16,
                   c.Height() - 6 * textHeight - 30};
    if (strehl.area.Width() < 40 || strehl.area.Height() < 40)
        return;
    strehl.x0 = x.x0;
    strehl.x1 = x.x1;
    DrawAxes(c, strehl, {0.0, 0.2, 0.4, 0.6, 0.8, 1.0},
             "Strehl ratio at " + Label(s.wavelength * 1e9) + " nm against D/r0 (dashed: theory, Marechal)",
             "Strehl");
    DrawCurves(c, run, x, strehl, nullptr);
    DrawLegend(c, run, 56, strehl.area.bottom + 2 * textHeight + 14, c.Width() - 160);
}

std::string KeptScreensFileName(const CorrectionRun& run, int mirror, int point, const std::string& kind) {
    std::string name;
    for (char ch : run.mirrors[mirror].device)
        name += std::isalnum(static_cast<unsigned char>(ch)) || ch == '-' || ch == '.' ? ch : '_';
    char text[64];
    std::snprintf(text, sizeof text, "%d-", mirror + 1);
    return "screens/" + std::string(text) + name + "_dr0-" + Label(run.settings.dOverR0[point]) +
           "_" + kind + ".fits";
}

bool KeptScreensFits(const CorrectionRun& run, int mirror, int point, const std::string& kind,
                     std::string& bytes, std::string& error) {
    const MirrorCorrection& m = run.mirrors[mirror];
    std::vector<const ScreenCorrection*> screens;
    for (const ScreenCorrection& c : m.kept)
        if (c.point == point && c.kept)
            screens.push_back(&c);
    if (screens.empty()) {
        error = "no screens kept";
        return false;
    }
    const int n = m.grid.n;
    FitsImage image;
    image.columns = image.rows = n;
    image.planes = static_cast<int>(screens.size());
    image.values.resize(static_cast<std::size_t>(image.planes) * n * n);
    for (int p = 0; p < image.planes; ++p) {
        const KeptScreen& k = *screens[p]->kept;
        const std::vector<double>& grid =
            kind == "wavefront" ? k.wavefront : kind == "surface" ? k.surface : k.residual;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                image.values[(static_cast<std::size_t>(p) * n + j) * n + i] =
                    grid[static_cast<std::size_t>(i) * n + j];
    }
    image.keys.push_back({"BUNIT", std::string("m"), kind == "surface" ? "surface change" : "optical path"});
    for (const char* axis : {"1", "2"}) {
        image.keys.push_back({std::string("CTYPE") + axis, std::string(*axis == '1' ? "x" : "y"), ""});
        image.keys.push_back({std::string("CUNIT") + axis, std::string("m"), ""});
        image.keys.push_back({std::string("CDELT") + axis, m.grid.dx, "[m] sample spacing"});
        image.keys.push_back({std::string("CRPIX") + axis, static_cast<double>(n / 2 + 1), ""});
        image.keys.push_back({std::string("CRVAL") + axis, 0.0, ""});
    }
    image.keys.push_back({"DEVICE", m.device, ""});
    image.keys.push_back({"MODEL", m.model, "membrane model"});
    image.keys.push_back({"DR0", run.settings.dOverR0[point], "D/r0, D the beam diameter"});
    image.keys.push_back({"WAVELEN", run.settings.wavelength, "[m] r0 given at"});
    image.keys.push_back({"SEED", std::to_string(run.settings.seed), "generator seed"});
    image.keys.push_back({"BIAS", m.bias, "[V] every pad's voltage at h = 0"});
    image.keys.push_back({"BEAMRAD", m.grid.beamRadius, "[m] radius of the fitted beam"});
    image.keys.push_back({"KIND", kind, "wavefront W, surface h or residual W - 2h"});
    image.comments = {"Screen = incoming wavefront W (optical path). The mirror's surface change h",
                      "is fitted to W/2 (reflection doubles the path); residual = W - 2h, piston",
                      "removed, 0 outside the beam. One plane per kept screen, in order."};
    return FitsBytes(image, bytes, error);
}

} // namespace ostrander
