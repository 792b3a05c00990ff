// The Python module `ostrander`: the mirrors of the device folder and
// ostrander.Mirror, an engine session with one mirror, its influence
// functions computed once; surfaces, far fields, the summary of
// summary.json, pull-in and voltage fits as numpy arrays and dicts; phase
// screens and the turbulence study.
#include "cli/DeviceLookup.h"
#include "python/PyMirror.h"
#include "python/PythonSupport.h"
#include "results/RunWarnings.h"
#include "toolkit/Paths.h"
#include "toolkit/Version.h"

#include <pybind11/stl.h>

#include <clocale>
#include <cstdio>
#include <limits>

namespace py = pybind11;
using namespace ostrander;
using namespace ostrander::python;

namespace {

py::list Mirrors(const std::optional<std::string>& devices) {
    UseDevices(devices.value_or(""));
    const DeviceFolderChoice folder = DeviceFolderInUse();
    if (!folder.Found())
        Raise(PyExc_FileNotFoundError, folder.Describe());
    py::list list;
    for (const DeviceEntry& d : ListDevices()) {
        py::dict entry;
        entry["device"] = Utf8FromFileText(d.deviceName);
        entry["file"] = Utf8FromFileText(d.fileName);
        entry["path"] = Utf8FromFileText(d.absolutePath);
        entry["actuators"] = d.actuators;
        entry["limit_voltage"] = d.limitVoltage;
        entry["models"] = d.models;
        list.append(entry);
    }
    return list;
}

std::string FitRepr(const FitOutcome& fit) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "<ostrander.FitResult: residual RMS %.4g m of target RMS %.4g m, pull-in "
                  "factor %.4g>",
                  fit.residualRms, fit.targetRms, fit.pullInFactor);
    return text;
}

std::string CorrectionRepr(const CorrectionOutcome& c) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "<ostrander.Correction: %zu D/r0 points of %d screens, bias %.4g V (%s), a_F %s>",
                  py::len(c.points), c.screens, c.bias, c.biasFound ? "found" : "given",
                  c.fittingCoefficient ? py::repr(py::float_(*c.fittingCoefficient)).cast<std::string>().c_str()
                                       : "none");
    return text;
}

std::string ScreenRepr(const ScreenOutcome& s) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "<ostrander.CorrectedScreen: D/r0 %.4g, residual RMS %.4g m of %.4g m, Strehl %.4g%s>",
                  s.dOverR0, s.residualRms, s.inputRms, s.strehl, s.saturated ? ", saturated" : "");
    return text;
}

} // namespace

PYBIND11_MODULE(ostrander, m) {
    // Number conversions in the engine's readers keep '.'.
    std::setlocale(LC_NUMERIC, "C");
    m.doc() = "Electrostatic membrane deformable mirrors: the Ostrander engine session.\n\n"
              "Arrays are float64 numpy arrays in the orientation and units of the result files "
              "that ostrander-cli writes: a grid is [row y][column x], row r at "
              "y = (r - n/2) dx and column c at x = (c - n/2) dx (Mirror.grid gives x, y and "
              "the masks), surfaces in metres, influence functions in m/V^2.\n\n"
              "Errors are ValueError, FileNotFoundError or RuntimeError with ostrander-cli's "
              "message; warnings go through the warnings module as OstranderWarning. Long calls "
              "release the GIL and stop on Ctrl-C with KeyboardInterrupt. One Mirror is used "
              "from one thread at a time; separate mirrors work in separate threads.";
    m.attr("__version__") = kVersion;
    MakeWarningCategory(m);

    m.def("mirrors", &Mirrors, py::arg("devices") = py::none(),
          "The mirrors of the device folder, as `ostrander-cli mirrors --json` lists them: "
          "dicts with device, file, path, actuators and limit_voltage.\n\n"
          "devices: a device folder (as --devices), else the folder the programs choose.");

    m.def("phase_screen", &PhaseScreens, py::arg("n"), py::arg("dx"), py::kw_only(),
          py::arg("d_over_r0") = py::none(), py::arg("r0") = py::none(),
          py::arg("wavelength") = 500e-9,
          py::arg("outer_scale") = std::numeric_limits<double>::infinity(), py::arg("seed") = 1,
          py::arg("count") = py::none(), py::arg("subharmonics") = 3,
          "Phase screens of atmospheric turbulence as optical path in metres, [row y][column "
          "x]: n x n samples dx (m) apart, by FFT on a grid at least twice n with `subharmonics` "
          "levels of subharmonics, as `correct` makes its screens.\n\n"
          "Give d_over_r0 (D the screen's width n dx) or r0 (m, at `wavelength`, m); "
          "outer_scale L0 (m) makes von Karman turbulence, inf Kolmogorov. The same seed gives "
          "the same screens. count=None gives one (n, n) array, count=k a (k, n, n) array of k "
          "independent screens.");

    py::class_<AppliedRules>(m, "AppliedVoltages",
                             "Voltages as the mirror's rules (floor, ceiling, mean limit) hold them.")
        .def_readonly("volts", &AppliedRules::volts, "Volts held, by display number - 1.")
        .def_readonly("changes", &AppliedRules::changes,
                      "(display number, volts asked for, volts held) of each changed request.")
        .def_readonly("message", &AppliedRules::message,
                      "The warning ostrander-cli prints for the changes, or None.")
        .def("__repr__", [](const AppliedRules& a) {
            return "<ostrander.AppliedVoltages: " + std::to_string(a.changes.size()) +
                   " changed by the rules>";
        });

    py::class_<GridInfo>(m, "Grid", "The engine grid: coordinates and masks.")
        .def_readonly("n", &GridInfo::n, "Samples per side.")
        .def_readonly("dx", &GridInfo::dx, "Sample spacing, m.")
        .def_readonly("x", &GridInfo::x, "x of each column, m.")
        .def_readonly("y", &GridInfo::y, "y of each row, m.")
        .def_readonly("beam_radius", &GridInfo::beamRadius,
                      "Radius of the beam disc the figures cover, m.")
        .def_readonly("membrane_radius", &GridInfo::membraneRadius, "m.")
        .def_readonly("beam_mask", &GridInfo::beamMask, "True inside the beam, [row y][column x].")
        .def_readonly("membrane_mask", &GridInfo::membraneMask,
                      "True on the membrane, [row y][column x].")
        .def("__repr__", [](const GridInfo& g) {
            return "<ostrander.Grid: " + std::to_string(g.n) + " x " + std::to_string(g.n) +
                   ", dx " + py::repr(py::float_(g.dx)).cast<std::string>() + " m>";
        });

    py::class_<FarFieldResult>(m, "FarField", "The far field of the reflected Gaussian beam.")
        .def_readonly("intensity", &FarFieldResult::intensity,
                      "Intensities [row][column] as farfield.fits holds them; the optical axis "
                      "at row and column size/2.")
        .def_readonly("angle", &FarFieldResult::angle,
                      "Angle of each row and column from the axis, rad.")
        .def_readonly("pixel_scale", &FarFieldResult::pixelScale, "rad per element.")
        .def_readonly("lambda_over_d", &FarFieldResult::lambdaOverD, "wavelength / D, rad.")
        .def_readonly("wavelength", &FarFieldResult::wavelength, "m.")
        .def_readonly("strehl", &FarFieldResult::strehl, "Strehl ratio.")
        .def_readonly("zoom", &FarFieldResult::zoom)
        .def("__repr__", [](const FarFieldResult& f) {
            return "<ostrander.FarField: " + std::to_string(f.intensity.shape(0)) + " x " +
                   std::to_string(f.intensity.shape(1)) + ", Strehl " +
                   py::repr(py::float_(f.strehl)).cast<std::string>() + ">";
        });

    py::class_<FitOutcome>(m, "FitResult", "A voltage fit and the surface its voltages give.")
        .def_readonly("volts", &FitOutcome::volts, "Volts held, by display number - 1.")
        .def_readonly("surface", &FitOutcome::surface,
                      "The achieved surface as surface.fits holds it, m.")
        .def_readonly("target", &FitOutcome::target, "The target less piston (and tilt), m.")
        .def_readonly("predicted", &FitOutcome::predicted,
                      "The fit's predicted change from the bias (or flat) surface, m.")
        .def_readonly("residual", &FitOutcome::residual, "predicted - target, m.")
        .def_readonly("residual_rms", &FitOutcome::residualRms, "Over the target's beam, m.")
        .def_readonly("residual_pv", &FitOutcome::residualPv, "m.")
        .def_readonly("target_rms", &FitOutcome::targetRms, "m.")
        .def_readonly("pull_in_factor", &FitOutcome::pullInFactor,
                      "Exact model: the largest scale of the voltages with an equilibrium; "
                      "NaN with the classic model.")
        .def_readonly("converged", &FitOutcome::converged)
        .def_readonly("achieved", &FitOutcome::achieved,
                      "Noll coefficients 1.. of the prediction, m RMS.")
        .def_readonly("at_floor", &FitOutcome::atFloor, "Display numbers held at the floor.")
        .def_readonly("at_ceiling", &FitOutcome::atCeiling,
                      "Display numbers held at the highest voltage.")
        .def_readonly("warnings", &FitOutcome::warnings, "The warnings, as also warned.")
        .def("__repr__", &FitRepr);

    py::class_<ScreenOutcome>(m, "CorrectedScreen",
                              "One wavefront corrected by the mirror: the screen is the incoming "
                              "wavefront W, the surface change h is fitted to W/2 and the "
                              "residual is W - 2h (see convention).")
        .def_readonly("d_over_r0", &ScreenOutcome::dOverR0,
                      "The screen's D/r0 (correct_wavefront: the D/r0 of uncorrected "
                      "turbulence with the wavefront's RMS).")
        .def_readonly("screen", &ScreenOutcome::screen, "0-based within its D/r0.")
        .def_readonly("input_rms", &ScreenOutcome::inputRms, "Of W over the beam, piston removed, m.")
        .def_readonly("residual_rms", &ScreenOutcome::residualRms,
                      "Of W - 2h over the beam, piston removed, m.")
        .def_readonly("strehl", &ScreenOutcome::strehl,
                      "Peak of the residual field's far field over a flat wavefront's.")
        .def_readonly("marechal", &ScreenOutcome::marechal,
                      "exp(-(2 pi residual_rms / wavelength)^2).")
        .def_readonly("pads_at_bounds", &ScreenOutcome::padsAtBounds)
        .def_readonly("mean_rule_active", &ScreenOutcome::meanRuleActive)
        .def_readonly("pull_in_factor", &ScreenOutcome::pullInFactor,
                      "Exact model: of the fitted voltages; NaN with the classic model.")
        .def_readonly("snap_down", &ScreenOutcome::snapDown,
                      "Classic model: the deflection passes a third of the gap.")
        .def_readonly("saturated", &ScreenOutcome::saturated,
                      "A pad at a bound, the mean rule met, or past the pull-in margin.")
        .def_readonly("bias", &ScreenOutcome::bias, "Every pad's voltage at the flat correction, V.")
        .def_readonly("volts", &ScreenOutcome::volts, "Fitted volts by display number - 1.")
        .def_readonly("wavefront", &ScreenOutcome::wavefront, "W, m (None unless kept).")
        .def_readonly("surface", &ScreenOutcome::surface, "h, m (None unless kept).")
        .def_readonly("residual", &ScreenOutcome::residual,
                      "W - 2h, piston removed, 0 outside the beam, m (None unless kept).")
        .def_property_readonly_static("convention",
                                      [](const py::object&) { return kTurbulenceConvention; })
        .def("__repr__", &ScreenRepr);

    py::class_<CorrectionOutcome>(m, "Correction",
                                  "A turbulence study's results, as `ostrander-cli correct` "
                                  "writes them.")
        .def_readonly("points", &CorrectionOutcome::points,
                      "A dict per D/r0 with the columns of correction.csv.")
        .def_readonly("fitting_coefficient", &CorrectionOutcome::fittingCoefficient,
                      "a_F in sigma^2 = a_F (d/r0)^(5/3) rad^2, d the mean actuator pitch, over "
                      "the D/r0 points with at most 10 % of their screens saturated; None when "
                      "there are none.")
        .def_readonly("bias", &CorrectionOutcome::bias, "V.")
        .def_readonly("bias_found", &CorrectionOutcome::biasFound,
                      "True when the study found the bias, False when it was given.")
        .def_readonly("bias_candidates", &CorrectionOutcome::biasCandidates,
                      "(volts, mean residual RMS m) of each bias tried when it was found.")
        .def_readonly("model", &CorrectionOutcome::model)
        .def_readonly("pads", &CorrectionOutcome::pads)
        .def_readonly("pitch", &CorrectionOutcome::pitch, "Mean actuator pitch d, m.")
        .def_readonly("diameter", &CorrectionOutcome::diameter, "Beam diameter D, m.")
        .def_readonly("wavelength", &CorrectionOutcome::wavelength, "m.")
        .def_readonly("outer_scale", &CorrectionOutcome::outerScale, "m; inf: Kolmogorov.")
        .def_readonly("seed", &CorrectionOutcome::seed)
        .def_readonly("screens", &CorrectionOutcome::screens, "Screens per D/r0.")
        .def_readonly("kept", &CorrectionOutcome::kept,
                      "The kept screens (CorrectedScreen) with their grids, D/r0 by D/r0.")
        .def_property_readonly_static("convention",
                                      [](const py::object&) { return kTurbulenceConvention; })
        .def("__repr__", &CorrectionRepr);

    py::class_<PyMirror>(m, "Mirror",
                         "A mirror with its influence functions, computed when it is made.\n\n"
                         "Mirror(mirror, model=\"classic\", devices=None): mirror is a device "
                         "name, a file name of the device folder or a path, as ostrander-cli "
                         "takes it; model \"classic\", \"exact\" or \"measured\" (with "
                         "influence=FILE, a FITS cube of measured influence functions, and as "
                         "its header needs law=\"quadratic\"|\"linear\", sampling (m), units, "
                         "actuators (a CSV table), remove_tilt, flat (a surface file)); grid=N (exact "
                         "model): N samples a side, 100 to 400, instead of the mirror file's "
                         "GridSamples (or 100). Voltages are a sequence "
                         "with one value per display number 1..n, or a dict {number: volts} "
                         "(the others at the 0.1 V floor), applied under the mirror's rules.\n\n"
                         "One Mirror is used from one thread at a time (another thread's call "
                         "meanwhile raises RuntimeError); separate mirrors in separate threads "
                         "work.")
        .def(py::init([](const std::string& mirror, const std::string& model,
                         const std::optional<std::string>& devices,
                         const std::optional<std::string>& influence,
                         const std::optional<std::string>& law, std::optional<double> sampling,
                         const std::optional<std::string>& units,
                         const std::optional<std::string>& actuators, bool removeTilt,
                         const std::optional<std::string>& flat, GridArg grid) {
                 MeasuredArgs measured{influence, law, units, actuators, flat, sampling, removeTilt};
                 return std::make_unique<PyMirror>(mirror, model, devices, measured, grid);
             }),
             py::arg("mirror"), py::arg("model") = "classic", py::arg("devices") = py::none(),
             py::kw_only(), py::arg("influence") = py::none(), py::arg("law") = py::none(),
             py::arg("sampling") = py::none(), py::arg("units") = py::none(),
             py::arg("actuators") = py::none(), py::arg("remove_tilt") = false,
             py::arg("flat") = py::none(), py::arg("grid") = py::none())
        .def_property_readonly("name", &PyMirror::Name, "The device name.")
        .def_property_readonly("file", &PyMirror::File, "The mirror info file.")
        .def_property_readonly("model", &PyMirror::Model, "The membrane model.")
        .def_property_readonly("limit_voltage", &PyMirror::LimitVoltage,
                               "The limit on the mean actuator voltage, V.")
        .def_property_readonly("run_voltage", &PyMirror::RunVoltage,
                               "The voltage the influence functions were computed at, V.")
        .def_property_readonly("membrane_electrode", &PyMirror::MembraneElectrode,
                               "The membrane electrode's display number, 0 when none.")
        .def_property_readonly("actuators", &PyMirror::Actuators,
                               "One dict per display number: number, channel, x, y (m), size "
                               "(width, height, m), inner_radius, outer_radius, shape, "
                               "membrane_electrode.")
        .def_property_readonly("grid", &PyMirror::Grid, "The engine grid (Grid).")
        .def("__len__", &PyMirror::ActuatorCount)
        .def("__repr__", &PyMirror::Repr)
        .def("influence", &PyMirror::Influence,
             "The influence functions per volt squared, (n, ny, nx) in m/V^2, plane k - 1 for "
             "display number k, as influence.fits holds them: the surface of voltages V is "
             "sum_k (V_k - V_e)^2 plane_k, V_e the membrane electrode's voltage.")
        .def("apply_rules", &PyMirror::ApplyRules, py::arg("volts"),
             "The voltages the mirror holds for these (AppliedVoltages), and what its rules "
             "changed.")
        .def("surface", &PyMirror::Surface, py::arg("volts"), py::kw_only(),
             py::arg("nonlinear") = false, py::arg("remove") = py::make_tuple("tilt"),
             "The surface for these voltages, m, [row y][column x].\n\n"
             "remove: () the physical surface, (\"tilt\",) tilt taken off (as the results), "
             "(\"tilt\", \"piston\", \"focus\") also piston and focus. nonlinear (exact model): "
             "the equilibrium under the nonlinear force with the same corrections, as simulate "
             "--nonlinear writes it (remove=() is not offered there); ValueError past pull-in.")
        .def("pull_in_factor", &PyMirror::PullInFactor, py::arg("volts"),
             "Exact model: the largest scale of these voltages that still has an equilibrium "
             "(inf when nothing pulls; at or below 1 the membrane snaps down).")
        .def("far_field", &PyMirror::FarField, py::arg("volts"), py::kw_only(),
             py::arg("wavelength") = 1064e-9, py::arg("zoom") = 1,
             "The far field (FarField) of the corrected surface; wavelength in m.")
        .def("analyse", &PyMirror::Analyse, py::arg("volts"), py::kw_only(),
             py::arg("wavelength") = 1064e-9, py::arg("zoom") = 1,
             py::arg("remove") = py::make_tuple("tilt"), py::arg("nonlinear") = false,
             "The summary of these voltages as a dict, the content of summary.json that "
             "ostrander-cli simulate writes (Zernike terms, RMS, Strehl, warnings).")
        .def("fit", &PyMirror::Fit, py::arg("target"), py::kw_only(),
             py::arg("bias") = py::none(), py::arg("free_tilt") = false,
             py::arg("nonlinear") = false,
             "Voltages that make the target (FitResult): an array [row y][column x] of the "
             "grid's size in metres (NaN samples left out), or a dict {Noll term: metres RMS}. "
             "bias: every pad at this voltage is the target's zero; free_tilt: tilt is not "
             "fitted; nonlinear (exact model): the equilibrium matches the target.")
        .def("correct", &PyMirror::Correct, py::arg("d_over_r0"), py::kw_only(),
             py::arg("screens") = 200, py::arg("seed") = 1,
             py::arg("outer_scale") = std::numeric_limits<double>::infinity(),
             py::arg("wavelength") = 500e-9, py::arg("bias") = py::none(), py::arg("keep") = 0,
             "How much turbulence the mirror takes out (Correction), as ostrander-cli correct "
             "finds it: `screens` seeded phase screens at each D/r0 (a number or a sequence; D "
             "the beam diameter), each corrected by the bounded fit.\n\n"
             "wavelength (m): of r0 and of the Strehl ratio; outer_scale L0 (m), inf for "
             "Kolmogorov; bias: every pad's voltage at the flat correction (None: the mirror's "
             "best, found first); keep: the first screens of each D/r0 whose grids are kept.")
        .def("correct_wavefront", &PyMirror::CorrectWavefront, py::arg("wavefront"),
             py::kw_only(), py::arg("bias") = py::none(), py::arg("wavelength") = 500e-9,
             "One incoming wavefront (optical path, m, [row y][column x] on the grid; the beam "
             "alone counts) corrected as a screen of `correct` is (CorrectedScreen, with its "
             "grids). bias None: the bias `correct` finds for turbulence of the wavefront's "
             "strength.");
}
