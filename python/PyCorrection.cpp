// The turbulence study from Python: ostrander.phase_screen, Mirror.correct
// (the study ostrander-cli correct runs, with its settings' checks and
// messages) and Mirror.correct_wavefront (one wavefront of the caller's
// corrected as a screen of the study is). The screens run without the GIL
// and stop on Ctrl-C between screens and in the pull-in solve.
#include "python/PyMirror.h"

#include "cli/DeviceLookup.h"
#include "model/EngineGrid.h"
#include "model/PhaseScreen.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace ostrander::python {

namespace {

// A whole number from 0 to 2^64 - 1, as ostrander-cli's --seed.
std::uint64_t SeedOf(const py::handle& seed) {
    const std::string refusal =
        "seed " + py::repr(seed).cast<std::string>() + " is not a whole number from 0 to 2^64 - 1";
    if (!PyIndex_Check(seed.ptr()) || py::isinstance<py::bool_>(seed))
        Raise(PyExc_ValueError, refusal);
    const py::int_ value = py::reinterpret_steal<py::int_>(PyNumber_Index(seed.ptr()));
    if (!value)
        throw py::error_already_set();
    const unsigned long long s = PyLong_AsUnsignedLongLong(value.ptr());
    if (s == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
        PyErr_Clear();
        Raise(PyExc_ValueError, refusal);
    }
    return s;
}

// One number or a sequence of them.
std::vector<double> NumbersOf(const py::handle& values, const char* what) {
    std::vector<double> out;
    const auto number = [&](const py::handle& v) {
        if (!PyNumber_Check(v.ptr()) || py::isinstance<py::str>(v))
            Raise(PyExc_ValueError, std::string(what) + " holds " + py::repr(v).cast<std::string>() +
                                        ", not a number");
        out.push_back(py::float_(py::reinterpret_borrow<py::object>(v)));
    };
    if (PyNumber_Check(values.ptr()) && !py::isinstance<py::array>(values)) {
        number(values);
        return out;
    }
    if (py::isinstance<py::str>(values) || !py::isinstance<py::iterable>(values))
        Raise(PyExc_ValueError, std::string(what) + " must be a number or a sequence of numbers");
    for (const py::handle v : py::reinterpret_borrow<py::iterable>(values))
        number(v);
    return out;
}

void CheckOuterScale(double outerScale) {
    if (!(outerScale > 0))
        Raise(PyExc_ValueError, "outer_scale " + py::repr(py::float_(outerScale)).cast<std::string>() +
                                    " is not a length in metres above 0 (leave it out, or give "
                                    "inf, for Kolmogorov turbulence)");
}

py::array_t<double> VectorArray(const std::vector<double>& values) {
    py::array_t<double> out(static_cast<py::ssize_t>(values.size()));
    std::copy(values.begin(), values.end(), out.mutable_data());
    return out;
}

ScreenOutcome OutcomeOf(ScreenCorrection c, double bias, int n) {
    ScreenOutcome out;
    out.dOverR0 = c.dOverR0;
    out.screen = c.screen;
    out.inputRms = c.inputRms;
    out.residualRms = c.residualRms;
    out.strehl = c.strehl;
    out.marechal = c.marechal;
    out.padsAtBounds = c.padsAtBounds;
    out.meanRuleActive = c.meanRuleActive;
    out.snapDown = c.snapDown;
    out.saturated = c.saturated;
    out.pullInFactor = c.pullInFactor;
    out.bias = bias;
    out.volts = VectorArray(c.volts);
    if (c.kept) {
        out.wavefront = GridArray(std::move(c.kept->wavefront), n);
        out.surface = GridArray(std::move(c.kept->surface), n);
        out.residual = GridArray(std::move(c.kept->residual), n);
    }
    return out;
}

// The D/r0 whose uncorrected turbulence has this wavefront's RMS over the
// beam (1.0299 (D/r0)^(5/3) rad^2), for finding a bias when none is given.
double DOverR0Of(const std::vector<double>& wavefront, const EngineGrid& grid, double wavelength) {
    double sum = 0.0, squares = 0.0;
    int count = 0;
    for (int i = 0; i < grid.n; ++i)
        for (int j = 0; j < grid.n; ++j)
            if (grid.InBeam(i, j)) {
                const double w = wavefront[grid.Index(i, j)];
                sum += w;
                squares += w * w;
                ++count;
            }
    if (count == 0)
        return 1.0;
    const double mean = sum / count;
    const double sigma = 2.0 * std::numbers::pi * std::sqrt(std::max(0.0, squares / count - mean * mean)) /
                         wavelength;
    const double dr0 = std::pow(sigma * sigma / 1.0299, 3.0 / 5.0);
    return std::isfinite(dr0) && dr0 > 0 ? std::min(dr0, 1000.0) : 1.0;
}

} // namespace

py::array_t<double> PhaseScreens(long long n, double dx, std::optional<double> dOverR0,
                                 std::optional<double> r0, double wavelength, double outerScale,
                                 const py::handle& seed, std::optional<long long> count,
                                 long long subharmonics) {
    if (n < 2 || n > 4096)
        Raise(PyExc_ValueError, "n must lie from 2 to 4096 samples a side, not " + std::to_string(n));
    if (!std::isfinite(dx) || !(dx > 0))
        Raise(PyExc_ValueError, "dx must be a sample spacing in metres above 0");
    if (dOverR0.has_value() == r0.has_value())
        Raise(PyExc_ValueError, "give either d_over_r0 (D the screen's width, n dx) or r0 (m)");
    if (dOverR0 && (!std::isfinite(*dOverR0) || !(*dOverR0 > 0) || *dOverR0 > 1000))
        Raise(PyExc_ValueError, "d_over_r0 must be a number above 0 (and at most 1000)");
    if (r0 && (!std::isfinite(*r0) || !(*r0 > 0)))
        Raise(PyExc_ValueError, "r0 must be a length in metres above 0");
    CheckWavelength(wavelength);
    CheckOuterScale(outerScale);
    const std::uint64_t s = SeedOf(seed);
    if (count && (*count < 1 || *count > 100000))
        Raise(PyExc_ValueError, "count must lie from 1 to 100000 screens");
    if (subharmonics < 0 || subharmonics > 8)
        Raise(PyExc_ValueError, "subharmonics must lie from 0 to 8 levels");

    PhaseScreenSettings settings;
    settings.n = static_cast<int>(n);
    settings.dx = dx;
    settings.r0 = r0 ? *r0 : static_cast<double>(n) * dx / *dOverR0;
    settings.wavelength = wavelength;
    settings.outerScale = outerScale;
    settings.subharmonicLevels = static_cast<int>(subharmonics);
    const int screens = static_cast<int>(count.value_or(1));
    std::vector<double> all;
    InterruptCheck interrupted;
    {
        py::gil_scoped_release release;
        PhaseScreenGenerator generator(settings, s);
        for (int k = 0; k < screens && !interrupted(); ++k) {
            const std::vector<double> screen = generator.Next();
            all.insert(all.end(), screen.begin(), screen.end());
        }
    }
    interrupted.ThrowIfRaised();
    if (!count)
        return GridArray(std::move(all), settings.n);
    return CubeArray(std::move(all), settings.n, screens);
}

void PyMirror::PrepareStudy(TurbulenceStudy& study, InterruptCheck& interrupted) {
    EngineSession& session = simulation_->Session();
    session.ApplyVoltages(VoltageRequest{});
    // The session is read with the GIL held; the bias search runs without it.
    TurbulenceStudy::Status status = study.TakeMirror();
    if (status == TurbulenceStudy::Status::NotPrepared) {
        py::gil_scoped_release release;
        status = study.Prepare([&] { return interrupted(); });
    }
    interrupted.ThrowIfRaised();
    if (status == TurbulenceStudy::Status::Ready)
        return;
    Raise(status == TurbulenceStudy::Status::NoInfluenceFunctions ? PyExc_RuntimeError
                                                                   : PyExc_ValueError,
          "cannot correct with " + Quoted(simulation_->DeviceName()) + ": " + study.Problem());
}

CorrectionOutcome PyMirror::Correct(const py::handle& dOverR0, long long screens,
                                    const py::handle& seed, double outerScale, double wavelength,
                                    std::optional<double> bias, long long keep) {
    Busy busy(*this);
    // ostrander-cli correct's checks, with its words and the options named
    // as here; the rest is the study's own.
    TurbulenceSettings settings;
    settings.dOverR0 = NumbersOf(dOverR0, "d_over_r0");
    if (screens < 1)
        Raise(PyExc_ValueError, "screens must be at least 1");
    settings.screens = static_cast<int>(std::min<long long>(screens, std::numeric_limits<int>::max()));
    settings.seed = SeedOf(seed);
    CheckOuterScale(outerScale);
    settings.outerScale = outerScale;
    CheckWavelength(wavelength);
    settings.wavelength = wavelength;
    if (bias && !std::isfinite(*bias))
        Raise(PyExc_ValueError, "bias must be a finite number of volts");
    settings.bias = bias;
    if (keep < 0 || keep > screens)
        Raise(PyExc_ValueError, "keep must lie from 0 to the number of screens");
    settings.keep = static_cast<int>(keep);
    if (const std::string problem = TurbulenceSettingsProblem(settings); !problem.empty())
        Raise(PyExc_ValueError, problem);

    TurbulenceStudy study(simulation_->Session(), settings);
    InterruptCheck interrupted;
    PrepareStudy(study, interrupted);
    std::vector<ScreenCorrection> kept;
    {
        py::gil_scoped_release release;
        const auto cancelled = [&] { return interrupted(); };
        while (std::optional<ScreenCorrection> c = study.Step(cancelled))
            if (c->kept)
                kept.push_back(std::move(*c));
    }
    interrupted.ThrowIfRaised();
    if (study.GetStatus() != TurbulenceStudy::Status::Finished)
        Raise(PyExc_RuntimeError, "the study stopped before its last screen");

    CorrectionOutcome out;
    out.bias = study.Bias();
    out.biasFound = study.BiasFound();
    out.biasCandidates = study.BiasCandidates();
    out.model = study.ModelName();
    out.pads = study.Pads();
    out.pitch = study.ActuatorPitch();
    out.diameter = study.BeamDiameter();
    out.wavelength = wavelength;
    out.outerScale = outerScale;
    out.seed = settings.seed;
    out.screens = settings.screens;
    out.fittingCoefficient = study.FittingCoefficient();
    // correction.csv's columns, in its units.
    const std::string device = Name();
    for (const TurbulencePoint& p : study.Points()) {
        const TurbulenceReference r =
            ReferenceVariances(p.dOverR0, out.diameter > 0 ? out.pitch / out.diameter : 0.0);
        py::dict point;
        point["mirror"] = device;
        point["model"] = out.model;
        point["bias_v"] = out.bias;
        point["d_over_r0"] = p.dOverR0;
        point["screens"] = p.screens;
        point["residual_rms_nm_mean"] = p.residualRmsMean * 1e9;
        point["residual_rms_nm_spread"] = p.residualRmsSpread * 1e9;
        point["strehl_mean"] = p.strehlMean;
        point["strehl_spread"] = p.strehlSpread;
        point["marechal_mean"] = p.marechalMean;
        point["saturated_fraction"] = p.saturatedFraction;
        point["pads_at_bounds_mean"] = p.padsAtBoundsMean;
        point["uncorrected_rms_nm"] = p.inputRmsMean * 1e9;
        point["theory_uncorrected_rms_nm"] = PathRms(r.uncorrected, wavelength) * 1e9;
        point["theory_tip_tilt_rms_nm"] = PathRms(r.tipTilt, wavelength) * 1e9;
        point["theory_fitting_error_rms_nm"] = PathRms(r.fittingError, wavelength) * 1e9;
        out.points.append(point);
    }
    const int n = simulation_->Geometry().n;
    for (ScreenCorrection& c : kept)
        out.kept.push_back(OutcomeOf(std::move(c), out.bias, n));
    return out;
}

ScreenOutcome PyMirror::CorrectWavefront(const py::handle& wavefront, std::optional<double> bias,
                                         double wavelength) {
    Busy busy(*this);
    const std::optional<EngineGrid> grid = simulation_->Session().Grid();
    if (!grid)
        Raise(PyExc_RuntimeError, "cannot correct with " + Quoted(simulation_->DeviceName()) +
                                      ": the mirror has no influence functions yet");
    std::vector<double> w = EngineLayoutOf(wavefront, grid->n, "wavefront");
    for (int i = 0; i < grid->n; ++i)
        for (int j = 0; j < grid->n; ++j)
            if (grid->InBeam(i, j) && !std::isfinite(w[grid->Index(i, j)]))
                Raise(PyExc_ValueError, "wavefront is not a finite number inside the beam");
    CheckWavelength(wavelength);
    if (bias && !std::isfinite(*bias))
        Raise(PyExc_ValueError, "bias must be a finite number of volts");
    // Outside the beam the wavefront plays no part.
    for (int i = 0; i < grid->n; ++i)
        for (int j = 0; j < grid->n; ++j)
            if (!grid->InBeam(i, j))
                w[grid->Index(i, j)] = 0.0;

    TurbulenceSettings settings;
    settings.dOverR0 = {DOverR0Of(w, *grid, wavelength)};
    settings.screens = 1;
    settings.wavelength = wavelength;
    settings.bias = bias;
    TurbulenceStudy study(simulation_->Session(), settings);
    InterruptCheck interrupted;
    PrepareStudy(study, interrupted);
    std::optional<ScreenCorrection> c;
    {
        py::gil_scoped_release release;
        c = study.CorrectWavefront(w, [&] { return interrupted(); });
    }
    interrupted.ThrowIfRaised();
    if (!c)
        Raise(PyExc_RuntimeError, "the wavefront was not corrected");
    c->dOverR0 = settings.dOverR0.front();
    return OutcomeOf(std::move(*c), study.Bias(), grid->n);
}

} // namespace ostrander::python
