#include "results/BatchSimulation.h"

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
    return session_.MirrorInfo() ? session_.MirrorInfo()->DeviceName : std::string();
}

int BatchSimulation::ActuatorCount() const {
    return Model() ? Model()->Actuators : 0;
}

double BatchSimulation::Separation() const {
    return Model() ? Model()->Separation_m : 0.0;
}

RunGeometry BatchSimulation::Geometry() const {
    return SessionGeometry(session_);
}

const DMInfoClass* BatchSimulation::Model() const {
    return session_.MirrorModel();
}

int BatchSimulation::MembraneElectrode() const {
    return session_.MembraneElectrode();
}

std::vector<double> BatchSimulation::InfluencePerVoltSquared() const {
    return session_.InfluencePerVoltSquared();
}

std::string BatchSimulation::MapFile() const {
    return session_.MirrorInfo() ? session_.MirrorInfo()->MapFileName : std::string();
}

MapCheck BatchSimulation::MapReport() const {
    return Model() ? Model()->MapReport : MapCheck{};
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

std::string BatchSimulation::RunRefusal(RunStart status) const {
    switch (status) {
    case RunStart::Started:
        return {};
    case RunStart::CancelRequested:
        return "an influence-function run is already going";
    case RunStart::NoMirror:
        return "no mirror selected";
    default:
        return session_.RunRefusal(status);
    }
}

bool BatchSimulation::RunInfluenceFunctions(const std::function<void(int, int)>& progress,
                                            std::string& error) {
    const RunStart start = session_.StartInfluenceRun();
    lastStart_ = start;
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
    if (end != RunTick::Finished || !session_.ResultsValid()) {
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
    if (!session_.Mirror() || !Model() || !session_.ResultsValid()) {
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
    // What each changed actuator holds in the end: with every actuator at or
    // below the floor, the 0.1 V floor rather than what the rules left.
    for (const AppliedVoltages::Change& c : applied.changes) {
        const auto k = static_cast<std::size_t>(c.actuator - 1);
        const double held = k < result.voltages.size() ? result.voltages[k] : c.applied;
        result.changes.push_back({c.actuator, c.requested, held});
    }
    return true;
}

} // namespace ostrander
