#pragma once
// The program's windows, made and connected as at start-up: the main window
// (which owns the engine session), then the pattern sequence browser, then the
// mirror setup window, whose constructor hands the browser to the main
// window's actuator map, then the turbulence correction window. Used by the process entry and by the tests of the
// windows, so both run the same wiring.
#include <memory>

namespace ostrander {

class TMirrorSetupForm;
class TOstranderForm;
class TPatternSequenceBrowserForm;
class TTurbulenceForm;

struct ProgramWindows {
    std::unique_ptr<TOstranderForm> OstranderForm;
    // Owned by the main window through Qt parenting.
    TPatternSequenceBrowserForm* PatternSequenceBrowserForm = nullptr;
    TMirrorSetupForm* MirrorSetupForm = nullptr;
    TTurbulenceForm* TurbulenceForm = nullptr;

    ProgramWindows();
    ProgramWindows(ProgramWindows&&) noexcept;
    ProgramWindows& operator=(ProgramWindows&&) noexcept;
    ~ProgramWindows();
};

// The windows are made hidden.
ProgramWindows MakeProgramWindows();

} // namespace ostrander
