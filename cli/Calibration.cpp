#include "cli/Calibration.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "formats/GridCsv.h"
#include "results/BatchSimulation.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <random>

namespace ostrander {

namespace {

// The physical surface with these pad voltages (every other channel at the
// floor), and the held voltage of each display number k at [k - 1],
// relative to the membrane electrode.
bool Measure(BatchSimulation& simulation, const std::vector<std::pair<int, double>>& volts,
             std::vector<double>& surface, std::vector<double>& held, std::string& error) {
    EngineSession& session = simulation.Session();
    VoltageRequest request;
    request.single = volts;
    const AppliedVoltages applied = session.ApplyVoltages(request);
    if (!applied.applied) {
        error = "no usable mirror";
        return false;
    }
    if (applied.changedByRules > 0) {
        const AppliedVoltages::Change& c = applied.changes.front();
        error = "the mirror's rules hold actuator " + std::to_string(c.actuator) + " at " +
                FormatNumber(c.applied) + " V instead of " + FormatNumber(c.requested) +
                " V: choose a smaller --poke or --bias";
        return false;
    }
    const int electrode = simulation.MembraneElectrode();
    MirrorClass* mirror = session.Mirror();
    const double base = electrode ? mirror->GetVoltage(electrode) : 0.0;
    held.assign(static_cast<std::size_t>(simulation.ActuatorCount()), 0.0);
    for (int k = 1; k <= simulation.ActuatorCount(); ++k)
        held[k - 1] = mirror->GetVoltage(k) - base;
    surface = session.PhysicalSurface().values;
    return true;
}

} // namespace

bool SimulateCalibration(BatchSimulation& simulation, const CalibrationOptions& options,
                         std::vector<double>& planes, std::string& error) {
    const DMInfoClass* dm = simulation.Model();
    const RunGeometry g = simulation.Geometry();
    const int n = g.n, count = simulation.ActuatorCount();
    const int electrode = simulation.MembraneElectrode();
    if (!dm || n < 2 || count < 1) {
        error = "no influence functions";
        return false;
    }
    const auto points = static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
    planes.assign(points * static_cast<std::size_t>(count), 0.0);
    std::mt19937_64 random(options.seed);
    std::normal_distribution<double> noise(0.0, options.noiseNm * 1e-9);
    std::uniform_real_distribution<double> angle(0.0, 2 * std::numbers::pi);
    const double radius = g.membraneRadius;
    // Every pad at the bias, the electrode left at its floor.
    auto biased = [&](int poked, double volts) {
        std::vector<std::pair<int, double>> v;
        for (int k = 1; k <= count; ++k)
            if (k != electrode && (options.bias > 0.0 || k == poked))
                v.emplace_back(k, k == poked ? volts : options.bias);
        return v;
    };
    std::vector<double> reference, push, pull;
    std::vector<double> heldRef, heldPush, heldPull;
    if (!options.pushPull && !Measure(simulation, biased(0, 0.0), reference, heldRef, error))
        return false;
    for (int k = 1; k <= count; ++k) {
        if (k == electrode || !dm->FindByDisplayIndex(k))
            continue;
        if (!Measure(simulation, biased(k, options.bias + options.poke), push, heldPush, error))
            return false;
        if (options.pushPull) {
            if (!Measure(simulation, biased(k, options.bias - options.poke), pull, heldPull, error))
                return false;
        } else {
            pull = reference;
            heldPull = heldRef;
        }
        const double force =
            heldPush[k - 1] * heldPush[k - 1] - heldPull[k - 1] * heldPull[k - 1];
        if (!(std::fabs(force) > 0.0) || push.size() != points || pull.size() != points) {
            error = "poking actuator " + std::to_string(k) + " changes no force";
            return false;
        }
        const double tilt = options.tiltNm * 1e-9 / (2 * radius);
        const double direction = angle(random);
        double* plane = planes.data() + points * static_cast<std::size_t>(k - 1);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                const double x = (i - n / 2) * g.dx, y = (j - n / 2) * g.dx;
                const std::size_t at = static_cast<std::size_t>(i) * n + j;
                if (std::hypot(x, y) > radius) {
                    plane[at] = std::numeric_limits<double>::quiet_NaN();
                    continue;
                }
                double measured = push[at] - pull[at];
                if (options.noiseNm > 0.0)
                    measured += noise(random);
                measured += tilt * (x * std::cos(direction) + y * std::sin(direction));
                plane[at] = measured / force;
            }
    }
    return true;
}

} // namespace ostrander
