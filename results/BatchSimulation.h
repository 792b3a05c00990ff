#pragma once
// The engine session driven without a window: a mirror is selected and its
// influence functions computed as loading it in the program does, with the
// run-timer ticks called back to back; then each simulation applies voltages
// through the mirror's rules and collects the result of the session's state
// (results/SessionResult.h). The session's statuses become the error texts
// of ostrander-cli and of the Python module.
#include "Shared_Software/Mirror/DMInfoClass.h"
#include "model/EngineSession.h"
#include "model/ModelHost.h"
#include "results/SessionResult.h"

#include <functional>
#include <string>
#include <vector>

namespace ostrander {

class DMInfoClass;
class MirrorClass;

class BatchSimulation {
public:
    BatchSimulation();
    ~BatchSimulation();
    BatchSimulation(const BatchSimulation&) = delete;
    BatchSimulation& operator=(const BatchSimulation&) = delete;

    // Selects the mirror of an info file (a device-folder name such as
    // "..\Devices\Hex19.ini", or an absolute path).
    bool Load(const std::string& infoFile, std::string& error);
    // The membrane model of the runs that follow; false for an unknown name.
    bool UseModel(const std::string& name);
    // Computes the influence functions; progress(done, total) after each
    // actuator. False with the reason when the run is refused.
    bool RunInfluenceFunctions(const std::function<void(int, int)>& progress, std::string& error);
    // How the last run started (Started, or why it was refused).
    RunStart LastRunStart() const { return lastStart_; }
    // Applies the voltages and computes the results and pictures.
    bool Simulate(const VoltageRequest& request, const DisplayOptions& options,
                  SimulationResult& result, std::string& error);

    // The influence functions per volt squared (EngineSession::InfluencePerVoltSquared).
    std::vector<double> InfluencePerVoltSquared() const;
    // The membrane electrode's display number, 0 when the mirror has none.
    int MembraneElectrode() const;
    // The mirror's model description (null before Load).
    const DMInfoClass* Model() const;

    std::string DeviceName() const;
    // The model's actuator count: display numbers run 1 .. this.
    int ActuatorCount() const;
    double Separation() const; // m
    // The sampling, beam and far-field scale of the runs.
    RunGeometry Geometry() const;
    // The actuator map file the mirror info file names (empty before Load).
    std::string MapFile() const;
    // What the map file held against the actuators (empty when none was read).
    MapCheck MapReport() const;

    EngineSession& Session() { return session_; }

    // The error text for a refused run.
    std::string RunRefusal(RunStart status) const;

private:
    RecordingModelHost host_;
    EngineSession session_{host_};
    RunStart lastStart_ = RunStart::NoMirror;
};

} // namespace ostrander
