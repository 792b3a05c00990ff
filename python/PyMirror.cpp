#include "python/PyMirror.h"

#include "formats/MeasuredCube.h"
#include "model/MeasuredMembraneModel.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "cli/DeviceLookup.h"
#include "model/EngineGrid.h"
#include "model/MembraneModel.h"
#include "model/PullIn.h"
#include "model/SessionFit.h"
#include "results/ResultFiles.h"
#include "results/ResultWriter.h"
#include "toolkit/Version.h"

#include <QDateTime>
#include <QJsonDocument>

#include <cmath>
#include <cstdio>
#include <set>

namespace ostrander::python {

Busy::Busy(PyMirror& mirror) : busy_(mirror.busy_) {
    if (busy_.exchange(true))
        Raise(PyExc_RuntimeError, "this Mirror is busy with another call (from another "
                                  "thread?); use one Mirror per thread");
}

void CheckWavelength(double wavelength) {
    if (!std::isfinite(wavelength) || wavelength < 100e-9 || wavelength > 20000e-9)
        Raise(PyExc_ValueError, "wavelength must lie from 100e-9 to 20000e-9 m (100 to 20000 nm)");
}

namespace {

// The influence run refusals that the input chose (a pad shape the model
// cannot take) are ValueError; the rest RuntimeError.
PyObject* RefusalType(RunStart start) {
    return start == RunStart::RingPads || start == RunStart::RectangularPads ? PyExc_ValueError
                                                                             : PyExc_RuntimeError;
}

// What `remove` asks of the surface: nothing taken off (the physical
// surface), tilt, or tilt, piston and focus, the engine's two corrections.
enum class Removal { Nothing, Tilt, TiltPistonFocus };

Removal ParseRemoval(const py::handle& remove) {
    std::set<std::string> terms;
    if (!remove.is_none()) {
        if (py::isinstance<py::str>(remove))
            terms.insert(remove.cast<std::string>());
        else
            for (const py::handle item : remove) {
                if (!py::isinstance<py::str>(item))
                    Raise(PyExc_ValueError, "remove holds " + py::repr(item).cast<std::string>() +
                                                ", not a term name");
                terms.insert(item.cast<std::string>());
            }
    }
    if (terms.empty())
        return Removal::Nothing;
    if (terms == std::set<std::string>{"tilt"})
        return Removal::Tilt;
    if (terms == std::set<std::string>{"tilt", "focus"} ||
        terms == std::set<std::string>{"tilt", "piston", "focus"})
        return Removal::TiltPistonFocus;
    std::string given;
    for (const std::string& t : terms)
        given += (given.empty() ? "" : ", ") + ("\"" + t + "\"");
    Raise(PyExc_ValueError, "remove=(" + given +
                                ") is not one of (), (\"tilt\",) and (\"tilt\", \"piston\", "
                                "\"focus\"): tilt comes off first, piston with focus");
}

VoltageRequest RequestOf(std::vector<std::pair<int, double>> pairs) {
    VoltageRequest request;
    request.single = std::move(pairs);
    return request;
}

std::vector<VoltageChange> ChangesOf(const AppliedVoltages& applied) {
    std::vector<VoltageChange> changes;
    for (const AppliedVoltages::Change& c : applied.changes)
        changes.push_back({c.actuator, c.requested, c.applied});
    return changes;
}

void WarnRules(const std::vector<VoltageChange>& changes, int requested) {
    if (const std::optional<RunWarning> w = VoltageRulesWarning(changes, requested))
        Warn({*w});
}

py::object JsonToPython(const QJsonObject& object) {
    const QByteArray text = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return py::module_::import("json").attr("loads")(
        py::str(text.constData(), static_cast<std::size_t>(text.size())));
}

py::array_t<double> VectorArray(const std::vector<double>& values) {
    py::array_t<double> out(static_cast<py::ssize_t>(values.size()));
    std::copy(values.begin(), values.end(), out.mutable_data());
    return out;
}

} // namespace

PyMirror::PyMirror(const std::string& mirror, const std::string& model,
                   const std::optional<std::string>& devices, const MeasuredArgs& measured,
                   GridArg grid)
    : simulation_(std::make_unique<BatchSimulation>()) {
    const bool isMeasured = model == MeasuredMembraneModel::kName;
    if (isMeasured && !measured.influence)
        Raise(PyExc_ValueError, "model=\"measured\" needs influence=FILE");
    if (!isMeasured && measured.influence)
        Raise(PyExc_ValueError, "influence= needs model=\"measured\"");
    if (measured.law && !ParseResponseLaw(*measured.law))
        Raise(PyExc_ValueError, "law " + Quoted(*measured.law) + " is not \"quadratic\" or \"linear\"");
    if (!simulation_->UseModel(model)) {
        // The models that compute from the mirror alone, then the one that needs a cube.
        std::string names;
        for (const MembraneModelInfo& info : MembraneModels())
            if (info.name != MeasuredMembraneModel::kName)
                names += (names.empty() ? "" : ", ") + std::string(info.name);
        Raise(PyExc_ValueError, "no membrane model " + Quoted(model) + " (" + names +
                                    "), or \"measured\" with influence=FILE");
    }
    if (grid) {
        // As ostrander-cli's --grid, with the same messages.
        const MembraneModelInfo* info = FindMembraneModel(model);
        if (!info || !info->takesFinerGrid)
            Raise(PyExc_ValueError,
                  "grid needs model=\"exact\": the other models keep the 100 x 100 grid");
        if (const std::string problem = EngineGridSizeProblem(*grid); !problem.empty())
            Raise(PyExc_ValueError, "grid: " + problem);
        simulation_->Session().SetGridSamples(static_cast<int>(*grid));
    }
    UseDevices(devices.value_or(""));
    std::string error;
    if (!LocateMirrorFile(mirror, infoFile_, error))
        Raise(PyExc_FileNotFoundError, error);
    if (!simulation_->Load(infoFile_, error))
        Raise(PyExc_ValueError, "cannot use mirror " + Quoted(mirror) + ": " + error);
    mirrorWarnings_ = MirrorWarnings(simulation_->MapFile());
    Warn(mirrorWarnings_);
    if (isMeasured) {
        // The same call as ostrander-cli's, with the same messages.
        MeasuredCubeRequest request;
        request.path = *measured.influence;
        if (measured.law)
            request.law = ParseResponseLaw(*measured.law);
        request.sampling = measured.sampling;
        request.units = measured.units.value_or("");
        request.actuators = measured.actuators.value_or("");
        request.removePistonTilt = measured.removeTilt;
        request.flat = measured.flat.value_or("");
        const MeasuredLoad load = LoadMeasuredInfluence(simulation_->Session(), request);
        if (!load.loaded)
            Raise(PyExc_ValueError, load.error);
        std::vector<RunWarning> warnings;
        for (const std::string& text : load.warnings) {
            RunWarning w;
            w.kind = "measured_influence";
            w.message = text;
            warnings.push_back(w);
        }
        Warn(warnings);
    }

    // The influence run without the GIL; Ctrl-C cancels it at the next tick.
    InterruptCheck interrupted;
    bool ran = false;
    {
        py::gil_scoped_release release;
        ran = simulation_->RunInfluenceFunctions(
            [&](int, int) {
                if (interrupted())
                    simulation_->Session().Cancel();
            },
            error);
    }
    interrupted.ThrowIfRaised();
    if (!ran)
        Raise(RefusalType(simulation_->LastRunStart()),
              "cannot simulate " + Quoted(Name()) + ": " + error);
}

std::string PyMirror::Name() const {
    return Utf8FromFileText(simulation_->DeviceName());
}

std::string PyMirror::Model() const {
    return std::string(simulation_->Session().MembraneModelName());
}

double PyMirror::LimitVoltage() const {
    const MirrorInfoClass* info = simulation_->Session().MirrorInfo();
    return info ? info->LimitVoltage : 0.0;
}

int PyMirror::ActuatorCount() const {
    return simulation_->ActuatorCount();
}

int PyMirror::MembraneElectrode() const {
    return simulation_->MembraneElectrode();
}

double PyMirror::RunVoltage() const {
    return simulation_->Session().RunVoltage();
}

std::string PyMirror::Repr() const {
    return "<ostrander.Mirror " + py::repr(py::str(Name())).cast<std::string>() + ": " +
           std::to_string(ActuatorCount()) + " actuators, " + Model() + " model>";
}

py::list PyMirror::Actuators() const {
    py::list list;
    const DMInfoClass* model = simulation_->Model();
    for (int k = 1; model && k <= ActuatorCount(); ++k) {
        const DmActuatorInfoClass* a = model->FindByDisplayIndex(k);
        py::dict entry;
        entry["number"] = k;
        if (!a) {
            entry["channel"] = py::none();
            entry["shape"] = "none";
            list.append(entry);
            continue;
        }
        const bool rectangular = a->Shape == ActuatorShape::Rectangular;
        entry["channel"] = a->Channel;
        entry["x"] = a->X;
        entry["y"] = a->Y;
        entry["size"] = py::make_tuple(a->Dpad_m, rectangular ? a->DpadY_m : a->Dpad_m);
        entry["inner_radius"] = a->Rinner;
        entry["outer_radius"] = a->Router;
        entry["shape"] = ActuatorShapeName(a->Shape);
        entry["membrane_electrode"] = a->Surface;
        list.append(entry);
    }
    return list;
}

GridInfo PyMirror::Grid() const {
    GridInfo info;
    const std::optional<EngineGrid> grid = simulation_->Session().Grid();
    if (!grid)
        return info;
    info.n = grid->n;
    info.dx = grid->dx;
    info.beamRadius = grid->beamRadius;
    info.membraneRadius = grid->membraneRadius;
    info.x = Axis(grid->n, grid->dx);
    info.y = Axis(grid->n, grid->dx);
    const auto mask = [&](const std::vector<std::uint8_t>& engine) {
        py::array_t<bool> out(std::vector<py::ssize_t>{grid->n, grid->n});
        auto view = out.mutable_unchecked<2>();
        for (int i = 0; i < grid->n; ++i)
            for (int j = 0; j < grid->n; ++j)
                view(j, i) = engine[grid->Index(i, j)] != 0;
        return out;
    };
    info.beamMask = mask(grid->BeamMask());
    info.membraneMask = mask(grid->MembraneMask());
    return info;
}

py::array_t<double> PyMirror::Influence() {
    Busy busy(*this);
    const int n = simulation_->Geometry().n;
    return CubeArray(simulation_->InfluencePerVoltSquared(), n, ActuatorCount());
}

AppliedVoltages PyMirror::Apply(const py::handle& volts) {
    const AppliedVoltages applied =
        simulation_->Session().ApplyVoltages(RequestOf(VoltagePairs(volts, ActuatorCount())));
    if (!applied.applied)
        Raise(PyExc_RuntimeError, "cannot simulate " + Quoted(Name()) + ": no usable mirror");
    return applied;
}

AppliedRules PyMirror::ApplyRules(const py::handle& volts) {
    Busy busy(*this);
    const AppliedVoltages applied = Apply(volts);
    AppliedRules rules;
    MirrorClass* mirror = simulation_->Session().Mirror();
    rules.volts = py::array_t<double>(ActuatorCount());
    for (int k = 1; k <= ActuatorCount(); ++k)
        rules.volts.mutable_at(k - 1) = mirror->GetVoltage(k);
    for (const AppliedVoltages::Change& c : applied.changes)
        rules.changes.emplace_back(c.actuator, c.requested, c.applied);
    if (const std::optional<RunWarning> w = VoltageRulesWarning(ChangesOf(applied), applied.requested))
        rules.message = w->message;
    return rules;
}

DisplayOptions PyMirror::Options(double wavelength, int zoom, const py::handle& remove,
                                 bool nonlinear) {
    DisplayOptions options;
    options.pictures = false;
    CheckWavelength(wavelength);
    options.wavelength = wavelength;
    if (zoom < 1 || zoom > 100)
        Raise(PyExc_ValueError, "zoom must lie from 1 to 100");
    options.zoom = zoom;
    const Removal removal = ParseRemoval(remove);
    if (removal == Removal::Nothing)
        Raise(PyExc_ValueError, "the results are of the corrected surface: remove must hold "
                                "\"tilt\" (and may hold \"piston\" and \"focus\")");
    options.removeFocus = removal == Removal::TiltPistonFocus;
    if (nonlinear && !simulation_->Session().ComputesPullIn())
        Raise(PyExc_ValueError, "nonlinear=True needs model=\"exact\"");
    options.nonlinear = nonlinear;
    return options;
}

SimulationResult PyMirror::Simulate(const VoltageRequest& request, const DisplayOptions& options) {
    SimulationResult result;
    std::string error;
    bool ok = false;
    {
        py::gil_scoped_release release;
        ok = simulation_->Simulate(request, options, result, error);
    }
    if (!ok)
        Raise(PyExc_RuntimeError, "cannot simulate " + Quoted(Name()) + ": " + error);
    return result;
}

py::array_t<double> PyMirror::Surface(const py::handle& volts, bool nonlinear,
                                      const py::handle& remove) {
    Busy busy(*this);
    const Removal removal = ParseRemoval(remove);
    if (nonlinear) {
        // The equilibrium as the result files hold it, corrected as asked.
        const DisplayOptions options = Options(kEngineWavelength, 1, remove, true);
        const SimulationResult result =
            Simulate(RequestOf(VoltagePairs(volts, ActuatorCount())), options);
        WarnRules(result.changes, result.requested);
        if (result.pulledIn || !result.nonlinearSurface)
            Raise(PyExc_ValueError, "these voltages have no equilibrium: the membrane snaps "
                                    "down (pull-in factor " +
                                        std::to_string(result.pullInFactor) + ")");
        return GridArray(result.surface, result.n);
    }
    const AppliedVoltages applied = Apply(volts);
    WarnRules(ChangesOf(applied), applied.requested);
    EngineSession& session = simulation_->Session();
    ViewOptions view = session.View();
    view.removeFocus = removal == Removal::TiltPistonFocus;
    view.focusAdjust = 0.0;
    session.SetView(view);
    SurfaceValues surface;
    {
        py::gil_scoped_release release;
        session.ApplyFloorRule();
        surface = removal == Removal::Nothing ? session.PhysicalSurface() : session.CorrectedSurface();
    }
    if (surface.n == 0)
        Raise(PyExc_RuntimeError, "cannot simulate " + Quoted(Name()) + ": the engine produced no surface");
    return GridArray(std::move(surface.values), surface.n);
}

double PyMirror::PullInFactor(const py::handle& volts) {
    Busy busy(*this);
    EngineSession& session = simulation_->Session();
    if (session.MembraneModelName() == MeasuredMembraneModel::kName)
        Raise(PyExc_ValueError, kMeasuredPullIn);
    if (!session.ComputesPullIn())
        Raise(PyExc_ValueError, "pull_in_factor needs model=\"exact\"");
    const AppliedVoltages applied = Apply(volts);
    WarnRules(ChangesOf(applied), applied.requested);
    session.ApplyFloorRule();
    const std::optional<PullInInputs> inputs = session.PullInInputsNow();
    if (!inputs)
        Raise(PyExc_RuntimeError, "cannot simulate " + Quoted(Name()) + ": no usable mirror");
    InterruptCheck interrupted;
    PullInResult solved;
    PullInOptions options;
    options.wantSurface = false;
    {
        py::gil_scoped_release release;
        solved = SolvePullIn(*inputs->membrane, inputs->volts, [&] { return interrupted(); },
                             options);
    }
    interrupted.ThrowIfRaised();
    if (solved.status == PullInResult::Status::Invalid)
        Raise(PyExc_RuntimeError,
              "the exact model cannot solve this mirror: " + inputs->membrane->Problem());
    if (solved.status == PullInResult::Status::NotConverged ||
        solved.status == PullInResult::Status::Cancelled)
        Raise(PyExc_RuntimeError, "the nonlinear equilibrium did not converge");
    return solved.pullInFactor;
}

FarFieldResult PyMirror::FarField(const py::handle& volts, double wavelength, int zoom) {
    Busy busy(*this);
    const DisplayOptions options = Options(wavelength, zoom, py::str("tilt"), false);
    SimulationResult result = Simulate(RequestOf(VoltagePairs(volts, ActuatorCount())), options);
    WarnRules(result.changes, result.requested);
    const RunGeometry geometry = simulation_->Geometry();
    FarFieldResult out;
    out.intensity = GridArray(std::move(result.farField), result.farFieldSize);
    out.pixelScale = geometry.PixelScale();
    out.angle = Axis(result.farFieldSize, out.pixelScale);
    out.lambdaOverD = geometry.LambdaOverD();
    out.wavelength = geometry.wavelength;
    out.strehl = result.strehl;
    out.zoom = zoom;
    return out;
}

py::object PyMirror::Analyse(const py::handle& volts, double wavelength, int zoom,
                             const py::handle& remove, bool nonlinear) {
    Busy busy(*this);
    const DisplayOptions options = Options(wavelength, zoom, remove, nonlinear);
    const SimulationResult result =
        Simulate(RequestOf(VoltagePairs(volts, ActuatorCount())), options);
    SummaryContext context;
    context.program = "ostrander (Python module)";
    context.device = simulation_->DeviceName();
    context.mirrorFile = AbsoluteMirrorFile(infoFile_);
    context.version = kVersion;
    context.utcTime = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
    context.geometry = simulation_->Geometry();
    const ResultAnalysis analysis = AnalyseResult(result, context.geometry);
    context.warnings = ResultWarnings(mirrorWarnings_, nullptr, ActuatorCount(), result, analysis);
    Warn(std::vector<RunWarning>(context.warnings.begin() +
                                     static_cast<std::ptrdiff_t>(mirrorWarnings_.size()),
                                 context.warnings.end()));
    return JsonToPython(SummaryObject(result, analysis, context, options));
}

FitOutcome PyMirror::Fit(const py::handle& target, std::optional<double> bias, bool freeTilt,
                         bool nonlinear) {
    Busy busy(*this);
    const int n = simulation_->Geometry().n;
    FitRequest request;
    request.freeTilt = freeTilt;
    if (bias) {
        if (!std::isfinite(*bias))
            Raise(PyExc_ValueError, "bias must be a finite number of volts");
        request.bias = *bias;
    }
    if (py::isinstance<py::dict>(target)) {
        // The same terms and messages as ostrander-cli's --zernike list; the
        // values are metres.
        std::string text;
        for (const auto& [key, value] : py::reinterpret_borrow<py::dict>(target)) {
            char item[96];
            std::snprintf(item, sizeof item, "%s=%.17gm", py::str(key).cast<std::string>().c_str(),
                          py::float_(py::reinterpret_borrow<py::object>(value)).cast<double>());
            text += (text.empty() ? "" : ",") + std::string(item);
        }
        std::string error;
        if (!ParseZernikeTerms(text, request.zernike, error))
            Raise(PyExc_ValueError, "target: " + error);
    } else {
        request.surface = EngineLayoutOf(target, n, "target");
    }
    EngineSession& session = simulation_->Session();
    if (nonlinear && !session.ComputesPullIn())
        Raise(PyExc_ValueError, "nonlinear=True needs model=\"exact\"");

    // The fit starts, as ostrander-cli's does, from every channel at the
    // floor: the membrane electrode's voltage from an earlier call would
    // otherwise be the zero of the pads' forces.
    session.ApplyVoltages(VoltageRequest{});
    SessionFitOptions fitOptions;
    fitOptions.matchEquilibrium = nonlinear;
    InterruptCheck interrupted;
    SessionFit fitted;
    {
        py::gil_scoped_release release;
        fitted = FitOnSession(session, request, [&] { return interrupted(); }, fitOptions);
    }
    interrupted.ThrowIfRaised();
    if (fitted.status != SessionFit::Status::Fitted)
        Raise(fitted.status == SessionFit::Status::NotFitted ||
                      fitted.status == SessionFit::Status::BeyondPullIn
                  ? PyExc_ValueError
                  : PyExc_RuntimeError,
              "cannot fit " + Quoted(Name()) + ": " + SessionFitStatusText(fitted));
    const VoltageFit& fit = fitted.fit;

    // The fitted voltages on every pad; the membrane electrode stays where it is.
    const int membrane = MembraneElectrode();
    VoltageRequest voltages;
    for (std::size_t k = 0; k < fit.volts.size(); ++k)
        if (static_cast<int>(k) + 1 != membrane)
            voltages.single.emplace_back(static_cast<int>(k) + 1, fit.volts[k]);
    DisplayOptions options;
    options.pictures = false;
    options.nonlinear = nonlinear;
    const SimulationResult result = Simulate(voltages, options);
    const ResultAnalysis analysis = AnalyseResult(result, simulation_->Geometry());
    std::vector<RunWarning> warnings =
        ResultWarnings({}, nullptr, ActuatorCount(), result, analysis);
    for (RunWarning& w : FitWarnings(fitted, request, {"bias=V", "free_tilt=True"}))
        warnings.push_back(std::move(w));
    Warn(warnings);

    FitOutcome out;
    out.volts = VectorArray(result.voltages);
    out.surface = GridArray(result.surface, result.n);
    out.target = GridArray(fit.target, n);
    out.predicted = GridArray(fit.predicted, n);
    std::vector<double> residual(fit.predicted.size());
    for (std::size_t k = 0; k < residual.size() && k < fit.target.size(); ++k)
        residual[k] = fit.predicted[k] - fit.target[k];
    out.residual = GridArray(std::move(residual), n);
    out.residualRms = fit.residualRms;
    out.residualPv = fit.residualPv;
    out.targetRms = fit.targetRms;
    out.pullInFactor = fitted.pullInFactor;
    out.converged = fit.converged;
    out.achieved = fit.achieved;
    out.atFloor = fit.atFloor;
    out.atCeiling = fit.atCeiling;
    for (const RunWarning& w : warnings)
        out.warnings.push_back(w.message);
    return out;
}

} // namespace ostrander::python
