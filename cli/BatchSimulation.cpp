#include "cli/BatchSimulation.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

namespace ostrander {

BatchSimulation::BatchSimulation() = default;
BatchSimulation::~BatchSimulation() = default;

std::string BatchSimulation::DeviceName() const {
    return local_.MirrorInfo ? local_.MirrorInfo->DeviceName : std::string();
}

int BatchSimulation::ActuatorCount() const {
    return local_.MirrorInfo && local_.MirrorInfo->Model ? local_.MirrorInfo->Model->Actuators : 0;
}

double BatchSimulation::Separation() const {
    return local_.MirrorInfo && local_.MirrorInfo->Model ? local_.MirrorInfo->Model->Separation_m
                                                         : 0.0;
}

RunGeometry BatchSimulation::Geometry() const {
    return SessionGeometry(data_, local_);
}

const DMInfoClass* BatchSimulation::Model() const {
    return local_.MirrorInfo ? local_.MirrorInfo->Model.get() : nullptr;
}

int BatchSimulation::MembraneElectrode() const {
    const DMInfoClass* dm = Model();
    if (!dm)
        return 0;
    for (const DmActuatorInfoClass* a = dm->ActuatorList.first; a; a = a->next)
        if (a->Surface)
            return a->DisplayIndex;
    return 0;
}

std::vector<double> BatchSimulation::InfluencePerVoltSquared() const {
    const int n = data_.GridSize;
    const int count = data_.IFActuatorCount;
    const double run = data_.IFMaxVoltage;
    if (!local_.DisplaysValid || n < 1 || count < 1 || data_.IFGridSize != n ||
        static_cast<int>(data_.InfluenceFunctions.size()) < count || !(run > 0))
        return {};
    // Each function was computed with its own pad at the run voltage.
    const double scale = 1.0 / (run * run);
    const int electrode = MembraneElectrode();
    const auto plane = static_cast<std::size_t>(n) * n;
    std::vector<double> cube(plane * count, 0.0);
    for (int k = 1; k <= count; ++k) {
        if (k == electrode)
            continue;
        const Grid<double>& f = data_.InfluenceFunctions[k - 1];
        double* out = cube.data() + plane * (k - 1);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                out[static_cast<std::size_t>(i) * n + j] = f[i][j] * scale;
    }
    return cube;
}

std::string BatchSimulation::MapFile() const {
    return local_.MirrorInfo ? local_.MirrorInfo->MapFileName : std::string();
}

bool BatchSimulation::Load(const std::string& infoFile, std::string& error) {
    switch (session_.SelectMirror(0, infoFile)) {
    case MirrorSelection::Selected:
        return true;
    case MirrorSelection::NotMirrorInfo:
        error = "not a mirror info file";
        return false;
    case MirrorSelection::MirrorNotUsable:
        error = "the mirror cannot be set up from this file";
        return false;
    }
    return false;
}

std::string BatchSimulation::RunRefusal(RunStart status) {
    switch (status) {
    case RunStart::Started:
        return {};
    case RunStart::CancelRequested:
        return "an influence-function run is already going";
    case RunStart::NoMirror:
        return "no mirror selected";
    default:
        return RunRefusalText(status);
    }
}

bool BatchSimulation::RunInfluenceFunctions(const std::function<void(int, int)>& progress,
                                            std::string& error) {
    const RunStart start = session_.StartInfluenceRun();
    if (start != RunStart::Started) {
        error = RunRefusal(start);
        return false;
    }
    // The ticks of the run timer, without its 100 ms pacing.
    const RunTick end = session_.RunToEnd(progress);
    if (end == RunTick::Cancelled) {
        error = "the influence-function run was cancelled";
        return false;
    }
    if (end != RunTick::Finished || !local_.DisplaysValid) {
        error = "the influence-function run did not finish";
        return false;
    }
    return true;
}

bool BatchSimulation::UseModel(const std::string& name) {
    return session_.UseMembraneModel(name);
}

bool BatchSimulation::Simulate(const VoltageRequest& request, const DisplayOptions& options,
                               SimulationResult& result, std::string& error) {
    if (!local_.Mirror || !Model() || !local_.DisplaysValid) {
        error = "no influence functions";
        return false;
    }
    // The mirror as the run leaves it, then the requests in order; the
    // mirror's rules decide what each actuator holds.
    const AppliedVoltages applied = session_.ApplyVoltages(request);
    if (!CollectSessionResult(session_, options, result, error))
        return false;
    result.requested = applied.requested;
    result.changedByRules = applied.changedByRules;
    for (const AppliedVoltages::Change& c : applied.changes)
        result.changes.push_back({c.actuator, c.requested, c.applied});
    return true;
}

} // namespace ostrander
