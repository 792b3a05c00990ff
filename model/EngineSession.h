#pragma once
// The program's actions on the membrane model, in one place: select a mirror
// from its info file, start the influence-function run, advance it a tick at
// a time or run it to the end without a timer, cancel it, the idle pass (the
// 0.1 V floor, synthesis, corrections, far field), recalculate, and apply
// voltages. The main window, the setup window, ostrander-cli, the tools and
// the test rigs all act through it.
//
// The session owns the engine and the membrane model; it works on the model
// record, the working state and the host it is given. It shows nothing: each
// operation returns a status, and what needs drawing is returned to the
// caller (only the run's steps and the far field draw through the host, as
// the engine does).
#include "model/EngineStatus.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ostrander {

struct MainData;
class DMModelLocal;
class DMModelMain;
class ExactMembrane;
class MembraneModel;
class ModelHost;
class VoltageListClass;

// Selecting a mirror from its info file.
enum class MirrorSelection {
    Selected,
    NotMirrorInfo,   // the file is not a valid mirror info file
    MirrorNotUsable, // the mirror object cannot be set up from it
};

// Asking an influence-function run to stop.
enum class CancelRequest {
    Requested, // the next tick cancels the run
    NoRun,     // nothing to cancel
};

// The voltage bookkeeping of an idle pass.
enum class VoltageFloor {
    NoMirror,
    AboveFloor, // some actuator is above 0.1 V
    AtFloor,    // none is: every channel is (or, when only noted, would be) set to 0.1 V
};

// Recomputing the results for the present voltages.
enum class Recalculation {
    Done,
    NoMirror,  // no mirror description or mirror: nothing computed
    NoVoltage, // no actuator above 0 V: nothing computed or drawn
    NoSurface, // the far field found no surface to work from
};

// Pictures the caller draws after an operation, as a set of flags. The
// far-field image and plot are drawn by the far-field step through the host
// as it computes them; they are among the flags only after the session
// cleared the results (a refused run), when nothing else redraws them.
enum Picture : unsigned {
    kNoPictures = 0,
    kMirrorMap = 1u << 0,
    kSurfaceImage = 1u << 1,
    kInterferogram = 1u << 2,
    kThreeDImage = 1u << 3,
    kResultPictures = kSurfaceImage | kInterferogram | kThreeDImage,
    kFarFieldPictures = 1u << 4,
};

struct RecalculationResult {
    Recalculation status = Recalculation::NoMirror;
    // The influence functions were computed before a mirror parameter
    // changed; reported once, by the first synthesis after the change.
    bool parameterChanged = false;
    unsigned pictures = kNoPictures;
};

struct IdlePassResult {
    VoltageFloor floor = VoltageFloor::NoMirror;
    // Whether the results were valid and so recomputed.
    bool recalculated = false;
    RecalculationResult recalculation;
    unsigned pictures = kNoPictures;
};

// Voltages to apply, in this order, to the mirror from the 0.1 V floor on
// every channel: all actuators, then a pattern, then single actuators by
// display number. Volts.
struct VoltageRequest {
    std::optional<double> all;
    const VoltageListClass* pattern = nullptr; // not owned
    std::vector<std::pair<int, double>> single;
};

// What the nonlinear equilibrium is computed from (SolvePullIn): the exact
// model's solver, shareable with a worker, and the present voltages by model
// index.
struct PullInInputs {
    std::shared_ptr<const ExactMembrane> membrane;
    std::vector<double> volts;
};

struct AppliedVoltages {
    bool applied = false; // false: no usable mirror
    // Actuators asked for a voltage, and how many of them the mirror's rules
    // gave another one.
    int requested = 0;
    int changedByRules = 0;
    // Each changed one: display number, volts asked for, volts held.
    struct Change {
        int actuator = 0;
        double requested = 0.0;
        double applied = 0.0;
    };
    std::vector<Change> changes;
};

class EngineSession {
public:
    // data, local, host: not owned; they must outlive the session. The
    // record is put into its start state; the membrane model is "classic".
    EngineSession(MainData& data, DMModelLocal& local, ModelHost& host);
    ~EngineSession();
    EngineSession(const EngineSession&) = delete;
    EngineSession& operator=(const EngineSession&) = delete;

    DMModelMain& Engine() { return *engine_; }
    MainData& Data() { return data_; }
    DMModelLocal& Local() { return local_; }
    ModelHost& Host() { return host_; }

    // The membrane model of later runs and syntheses; false (and no change)
    // for a name no model has. Another model than the present one makes the
    // results invalid until a run with it finishes (a run going now stops at
    // its next tick): StartInfluenceRun computes its influence functions.
    bool UseMembraneModel(std::string_view name);
    std::string_view MembraneModelName() const;
    // The inputs of the pull-in computation for the present voltages; none
    // unless the model is "exact" and a usable mirror is selected.
    std::optional<PullInInputs> PullInInputsNow();

    // Replaces the selected mirror (the old one drives its channels to 0 V)
    // with the description and mirror object of an info file, at position
    // index of the device list. The two are kept even when not usable (the
    // windows show no mirror then); results are invalid until a run finishes.
    MirrorSelection SelectMirror(int32_t index, const std::string& infoFile);
    // Starts the run as loading a mirror does: the grid is prepared and
    // actuator 1 set to the mirror's limit voltage, which (as the largest
    // voltage) becomes the run voltage. While a run goes, the call asks it to
    // stop (CancelRequested) and the run of the selected mirror starts on
    // the tick that ends the old one. A refused run clears the results (flat
    // surface, empty far field: the pictures show nothing) and sets every
    // channel to the 0.1 V floor; the next idle pass redraws every picture.
    RunStart StartInfluenceRun();
    // One tick of the run timer. When the tick ends a run that a new start
    // asked to stop, the new run is started; TakeRestartedRun tells how.
    RunTick Tick();
    std::optional<RunStart> TakeRestartedRun();
    // The selected mirror (index of the device list) has its influence
    // functions, or a run to compute them is going or waiting: loading it
    // again has nothing to do.
    bool HasInfluenceRun(int32_t index) const;
    // Ticks back to back until the run stops; progress(done, total) after
    // each tick. Finished, Cancelled, or Idle when no run was going.
    RunTick RunToEnd(const std::function<void(int done, int total)>& progress = {});
    bool IsRunning() const;
    CancelRequest Cancel();

    // The idle pass: the floor rule, then, when what the results and the map
    // are made from changed since the last pass (the voltages, the mirror,
    // the model and its parameters, the display options, results becoming
    // valid), the map and, while results are valid, the recalculation. A
    // pass with nothing changed computes and redraws nothing.
    IdlePassResult IdlePass();
    // The next idle pass recomputes and redraws even if nothing it watches
    // changed (a caller that needs fresh results, or changed something else
    // the results depend on).
    void MarkResultsStale();
    // Notes the peak voltage (and it over the 350 V ceiling) and whether any
    // actuator is above 0.1 V; with ApplyFloorRule every channel is then set
    // to 0.1 V when none is.
    VoltageFloor NoteVoltages();
    VoltageFloor ApplyFloorRule();
    // Synthesis, far field (which corrects the surface in place), and the
    // three pictures of the corrected surface; nothing when no actuator is
    // above 0 V.
    RecalculationResult Recalculate();
    // The same without the voltage check.
    RecalculationResult ComputeResults();

    // Applies the request under the mirror's rules.
    AppliedVoltages ApplyVoltages(const VoltageRequest& request);

    // Changes the model's gap (m) or stress (Pa). A change (beyond rounding
    // through an edit box) marks the influence functions as possibly stale and
    // the results as invalid; true when it changed the model.
    bool SetSeparation(double metres);
    bool SetStress(double pascals);

private:
    // What the idle pass compares between passes.
    struct ResultInputs {
        uint64_t mirrorGeneration = 0;
        bool displaysValid = false;
        bool parameterChanged = false;
        std::vector<double> voltages;
        double separation = 0.0, stress = 0.0;
        bool removeFocus = false;
        double focusAdjust = 0.0;
        int32_t farFieldZoom = 0;
        double beamFraction = 0.0;
        std::string model;
        bool operator==(const ResultInputs&) const = default;
    };
    ResultInputs CurrentInputs() const;

    MainData& data_;
    DMModelLocal& local_;
    ModelHost& host_;
    std::unique_ptr<DMModelMain> engine_;
    std::unique_ptr<MembraneModel> model_;
    std::optional<ResultInputs> lastInputs_; // empty: the next pass recomputes
    // Sets the floor on every channel and flattens the surface and far field.
    void ClearResults();
    bool runPending_ = false;    // a start waits for the running run to stop
    std::string runModel_;       // the model the last run started with
    std::optional<RunStart> restarted_;
    bool picturesCleared_ = false; // the next idle pass redraws every picture
};

} // namespace ostrander
