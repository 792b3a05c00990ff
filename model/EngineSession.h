#pragma once
// The program's actions on the membrane model, in one place: select a mirror
// from its info file, start the influence-function run, advance it a tick at
// a time or run it to the end without a timer, cancel it, the idle pass (the
// 0.1 V floor, synthesis, corrections, far field), recalculate, and apply
// voltages. The main window, the setup window, ostrander-cli, the tools and
// the test rigs all act through it.
//
// The session is the only door to the model: windows, the result files and
// the command line ask it for what they show (run state, pull-in, verdicts,
// surfaces, figures) and get value types back. It owns the engine and the
// membrane model, and the model record and working state unless it is given
// them (model/SessionAccess.h reaches them from inside model/). It shows
// nothing: each operation returns a status, and what needs drawing is
// returned to the caller (only the run's steps and the far field draw
// through the host, as the engine does).
#include "model/EngineGrid.h"
#include "model/EngineStatus.h"
#include "model/ResultFigures.h"

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
class DMInfoClass;
class ExactMembrane;
class MembraneModel;
struct MeasuredInfluence;
class MirrorClass;
class MirrorInfoClass;
class ModelHost;
class PullInTracker;
class VoltageListClass;
struct PullInResult;

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

// The window's choices that the results depend on.
struct ViewOptions {
    bool removeFocus = false; // "Remove Focus and Piston"
    double focusAdjust = 0.0; // -1 .. 2, used with removeFocus
    int32_t farFieldZoom = 1; // 1 .. 100
    double wavelength = kEngineWavelength; // m, far field and interferogram
};

// The pull-in factor of the present voltages as a window tracks it.
struct PullInState {
    bool tracked = false;   // the model computes pull-in and results are valid
    bool computing = false; // an answer for the present voltages is awaited
    // The newest answer taken (kept while a newer one is computed).
    std::shared_ptr<const PullInResult> answer;
};

// What undo and a model switch keep: the membrane model and the voltages of
// the selected mirror, display number k at volts[k - 1]. While a run goes
// the voltages are those the session puts back when it ends (none: the run
// leaves every channel at the floor).
struct SessionSnapshot {
    uint64_t mirror = 0; // the mirror the voltages belong to
    std::string model;
    std::vector<double> volts;
    bool operator==(const SessionSnapshot&) const = default;
};

// What restoring a snapshot did.
struct SnapshotRestore {
    bool restored = false;     // false: the snapshot is of another mirror, nothing changed
    bool modelChanged = false; // the model changed and its run was asked for
    std::optional<RunStart> run;
    // The voltages are set when the run ends (TakeKeptVoltages then says
    // what the mirror's rules changed); else `voltages` tells how they were
    // set now.
    bool voltagesAfterRun = false;
    AppliedVoltages voltages;
};

// The corrected surface the engine holds, engine layout (row i at [i * n]).
struct SurfaceValues {
    int n = 0;
    std::vector<double> values;
    double min = 0.0, max = 0.0; // over the whole grid
    bool finite = true;
};

class EngineSession {
public:
    // A session with its own model record and working state. host: not
    // owned; it must outlive the session. The membrane model is "classic".
    explicit EngineSession(ModelHost& host);
    // The same over a record and working state the caller keeps (model
    // tests); they must outlive the session.
    EngineSession(MainData& data, DMModelLocal& local, ModelHost& host);
    ~EngineSession();
    EngineSession(const EngineSession&) = delete;
    EngineSession& operator=(const EngineSession&) = delete;

    // The selected mirror: its description, DM model and mirror object (null
    // when none), and its position in the device list (-1 for none).
    const MirrorInfoClass* MirrorInfo() const;
    const DMInfoClass* MirrorModel() const;
    MirrorClass* Mirror() const;
    // A usable mirror is selected.
    bool HasMirror() const;
    int32_t MirrorIndex() const;
    // The loaded mirror stays, but belongs to no entry of a new device list.
    static constexpr int32_t kMirrorOutsideList = -2;
    void DetachMirrorFromList();
    // Destroys the selected mirror (driving its channels to 0 V), then its
    // description.
    void ReleaseMirror();
    // Influence functions are ready: the idle pass computes every result.
    bool ResultsValid() const;
    // The engine grid of the selected mirror; none without a mirror.
    std::optional<EngineGrid> Grid() const;
    // The run voltage of the stored influence functions (V).
    double RunVoltage() const;
    // No actuator was above 0.1 V at the last idle pass.
    bool VoltagesAtFloor() const;

    // The membrane electrode's display number, 0 when the mirror has none.
    int MembraneElectrode() const;
    // The influence functions per volt squared, as the synthesis weighs
    // them: plane k - 1 (display number k) holds the deflection in metres of
    // the membrane when pad k alone pulls with 1 V relative to the membrane
    // electrode, element (i, j) with i along x at [((k - 1) n + i) n + j].
    // Any voltages give the surface sum over k of (V_k - V_electrode)^2
    // times plane k - 1. The electrode's own plane is zero: it acts through
    // every pad's voltage. Empty before the influence functions.
    std::vector<double> InfluencePerVoltSquared() const;
    // How to use the program, as the information box shows it after a run.
    static const std::vector<std::string>& HelpLines();

    // The window's choices the next results are computed with.
    ViewOptions View() const;
    void SetView(const ViewOptions& options);

    // The figures of the present results (beam RMS, Strehl ratio, sampling
    // check); none before a far field.
    std::optional<ResultFigures> Figures() const;
    // The corrected surface, and the far-field intensities (size x size,
    // element (r, c) 1-based at [(r - 1) size + c - 1]).
    SurfaceValues Surface() const;
    // The engine holds a surface of the grid's size (what Surface copies).
    bool HasSurface() const;
    int32_t FarFieldSize() const;
    std::vector<double> FarField() const;
    // Lowest, highest and RMS over the beam of the present surface, m.
    void PupilStatistics(double& min, double& max, double& rms);
    // The physical surface (before tilt, piston and focus come off) for the
    // voltages the mirror holds: a synthesis without corrections. The
    // results are marked stale, so the next idle pass corrects the surface
    // again.
    SurfaceValues PhysicalSurface();
    // Its largest deflection, m.
    double PhysicalPeakDeflection();
    // The surface the results show for the voltages the mirror holds, under
    // the present view options: a synthesis and the far field's corrections,
    // without the far field itself (the surface alone, quickly). Empty
    // before the influence functions. The results are marked stale.
    SurfaceValues CorrectedSurface();
    // Notes the membrane model's own snap-down verdict for the present
    // voltages (the exact model's pull-in answer); true when it changed.
    bool NoteSnapDown(const PullInResult& result);
    void ForgetSnapDown();

    // The membrane model of later runs and syntheses; false (and no change)
    // for a name no model has. Another model than the present one makes the
    // results invalid until a run with it finishes (a run going now stops at
    // its next tick): StartInfluenceRun computes its influence functions.
    bool UseMembraneModel(std::string_view name);
    std::string_view MembraneModelName() const;
    // Samples per side of the grid of later runs, for a model that takes a
    // finer grid than the standard one (the exact membrane; the others keep
    // theirs): the problem (EngineGridSizeProblem) and no change when n is
    // out of range, else empty. 0 goes back to the mirror file's choice.
    // Another grid makes the results invalid until a run with it finishes.
    std::string SetGridSamples(int n);
    // The samples per side asked for with SetGridSamples; 0 for none.
    int RequestedGridSamples() const;
    // The present model computes pull-in.
    bool ComputesPullIn() const;

    // The model and voltages as they stand (see SessionSnapshot).
    SessionSnapshot Snapshot() const;
    // Brings back a snapshot of the selected mirror: its model (another one
    // starts the influence run, as a model switch does) and its voltages
    // under the mirror's rules, from the floor, the membrane electrode
    // first. While a run goes (or one is started) the voltages wait for its
    // end, whether it finishes or is cancelled.
    SnapshotRestore Restore(const SessionSnapshot& snapshot);
    // Another membrane model that keeps the present voltages: its run
    // starts (with a mirror) and the voltages come back when it ends.
    // Nothing changes for an unknown name (restored false).
    SnapshotRestore SwitchMembraneModel(std::string_view name);
    // The voltages a run kept aside were set at its end: what the rules did
    // with them. None when no run put voltages back since the last call.
    std::optional<AppliedVoltages> TakeKeptVoltages();
    // The inputs of the pull-in computation for the present voltages; none
    // unless the model computes pull-in and a usable mirror is selected.
    std::optional<PullInInputs> PullInInputsNow();

    // Measured influence functions for the "measured" model, resampled onto
    // the selected mirror's engine grid (formats/MeasuredCube.h reads and
    // resamples a cube and calls this). Accepted (empty answer): the session
    // computes with the measured model and these functions from now on, and
    // results are invalid until a run finishes. Otherwise the reason (no
    // mirror, another grid or actuator count) and nothing changes.
    std::string SetMeasuredInfluence(std::shared_ptr<const MeasuredInfluence> influence);
    // The functions given last; null when none.
    std::shared_ptr<const MeasuredInfluence> MeasuredInfluenceGiven() const { return measured_; }

    // Pull-in tracking for a window: a worker thread computes the pull-in
    // factor of the newest voltages; answerReady is called on that thread
    // when an answer waits, and the window then takes it on its own. An
    // empty function stops the tracking (and the worker's thread).
    void TrackPullIn(std::function<void()> answerReady);
    // The voltages, the model or the results changed: asks for the present
    // voltages' answer when they differ from the last asked; stops and
    // forgets when there is nothing to track.
    void UpdatePullIn();
    // Takes the waiting answer, if it answers the newest request, and notes
    // its snap-down verdict; true when the verdict changed (the pictures of
    // the present surface carry it).
    bool TakePullInAnswer();
    PullInState PullIn() const;

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
    // The text for a refused start, with the reason the description cannot
    // be simulated when that was why; empty for a run that started.
    std::string RunRefusal(RunStart status) const;
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
    // How far the run has come: influence functions done of all; both 0
    // without a run.
    struct RunProgress {
        int done = 0;
        int total = 0;
    };
    RunProgress Progress() const;

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
    // The far field and its corrections on a physical surface the caller
    // computed for the present voltages (the exact model's nonlinear
    // equilibrium; engine layout, n x n metres) instead of the synthesis, so
    // that the surface, its figures, the far field and every picture drawn
    // after it come from that one surface. The results are marked stale:
    // the next idle pass synthesises again. NoSurface when the grid's size
    // does not match.
    RecalculationResult ComputeResultsFrom(const std::vector<double>& physical);

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
    // Sets one of the selected mirror's model parameters (SetSeparation, SetStress).
    bool SetModelParameter(double DMInfoClass::*parameter, double value);
    void DropInfluenceFunctions();
    EngineSession(std::unique_ptr<MainData> data, std::unique_ptr<DMModelLocal> local,
                  ModelHost& host);
    friend struct SessionAccess;
    std::unique_ptr<MainData> ownData_;
    std::unique_ptr<DMModelLocal> ownLocal_;
    MainData& data_;
    DMModelLocal& local_;
    ModelHost& host_;
    std::unique_ptr<DMModelMain> engine_;
    std::unique_ptr<PullInTracker> pullIn_;
    std::unique_ptr<MembraneModel> model_;
    std::optional<ResultInputs> lastInputs_; // empty: the next pass recomputes
    // Sets the floor on every channel and flattens the surface and far field.
    void ClearResults();
    // The snapshot's voltages onto the mirror (electrode first).
    AppliedVoltages ApplySnapshotVolts(const std::vector<double>& volts);
    // Voltages to set when the run going now ends, and what setting them did.
    std::optional<SessionSnapshot> keptVolts_;
    std::optional<AppliedVoltages> keptApplied_;
    bool runPending_ = false;    // a start waits for the running run to stop
    std::string runModel_;       // the model the last run started with
    std::optional<RunStart> restarted_;
    std::string mirrorProblem_; // why the last start found the description unusable
    bool measuredProblem_ = false; // mirrorProblem_ is about the measured functions
    std::shared_ptr<const MeasuredInfluence> measured_;
    bool picturesCleared_ = false; // the next idle pass redraws every picture
};

} // namespace ostrander
