#pragma once
// What the engine and the session report back. Nothing below the windows
// shows a message: the main window, the setup window and ostrander-cli each
// turn these into their own texts.
namespace ostrander {

// Asking for an influence-function run.
enum class RunStart {
    Started,         // the run timer is on; one actuator per tick follows
    CancelRequested, // a run was going: the next tick cancels it, nothing new starts
    NoMirror,        // no mirror description is selected
    RectangularPads, // rectangular actuators whose contact is not square
    RingPads,        // ring or quarter-ring actuators
    NoActuators,     // the model has no actuators
    ZeroRunVoltage,  // the largest actuator voltage is exactly 0 V (voltages put back)
    UnusableMirror,  // the description cannot be simulated (EngineSession::RunRefusal says why)
};

// The program's own text for a run the mirror's model refuses (pads it cannot
// compute, no actuators, no run voltage); empty for the other statuses. The
// windows show it in a box and ostrander-cli prints it.
inline const char* RunRefusalText(RunStart status) {
    switch (status) {
    case RunStart::RectangularPads:
        return "Not ready for rectangular actuators.  Square only.";
    case RunStart::RingPads:
        return "Not ready for ring actuators yet.  The exact membrane model computes them: "
               "choose \"Exact membrane\" as the Model (ostrander-cli: --model exact).";
    case RunStart::NoActuators:
        return "Influence Functions: Cannot perform without actuators.";
    case RunStart::ZeroRunVoltage:
        return "Influence Functions: Cannot perform if max voltage is zero.";
    case RunStart::UnusableMirror:
        return "Influence Functions: This mirror's description cannot be simulated.";
    case RunStart::Started:
    case RunStart::CancelRequested:
    case RunStart::NoMirror:
        break;
    }
    return "";
}

// One tick of the run timer.
enum class RunTick {
    Idle,      // no run, no mirror, or the previous step has not completed
    Stepped,   // one more actuator computed; the run goes on
    Finished,  // the last influence function stored; results are valid
    Cancelled, // a cancel request (or a replaced mirror) ended the run; the store is gone
};

// Rebuilding the surface from the influence functions.
enum class SynthesisStatus {
    Done,
    // Done, but a mirror parameter changed since the run: the influence
    // functions may not match the model any more (reported once).
    DoneParameterChanged,
    NoInfluenceFunctions, // no store, or one for another actuator count or grid: Surface untouched
    NoMirror,
};

// The far field of the present surface.
enum class FarFieldStatus {
    Done,      // computed, far-field pictures drawn through the host
    NoSurface, // no surface grid to work from
    NoMirror,
};

} // namespace ostrander
