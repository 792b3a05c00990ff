#pragma once
// What the engine needs from the window that drives it: the run timer, the
// pictures the run and the far field draw, the mirror display and the
// information box. The main window implements it; tests and batch tools use
// RecordingModelHost. The engine shows no messages: it returns statuses
// (model/EngineStatus.h) that the windows turn into message boxes.
#include <string>
#include <vector>

namespace ostrander {

class ModelHost {
public:
    virtual ~ModelHost() = default;
    // The 100 ms timer that calls DMModelMain::InfluenceFunctionStep.
    virtual void EnableRunTimer() = 0;
    virtual void DisableRunTimer() = 0;
    virtual bool IsRunTimerEnabled() const = 0;
    // Draws the three-dimensional image from the model record.
    virtual void DrawThreeDImage() = 0;
    // Draws the far-field image and then the far-field plot.
    virtual void DrawFarFieldPictures() = 0;
    // Refreshes the mirror display (actuator map) from the mirror.
    virtual void RefreshMirrorDisplay() = 0;
    // The information box.
    virtual void ClearInformation() = 0;
    virtual void AddInformationLine(const std::string& line) = 0;
};

// A host without a window: the timer is a flag that the caller polls and
// ticks by hand; draws and refreshes are counted; the information box is a
// list of lines.
class RecordingModelHost : public ModelHost {
public:
    void EnableRunTimer() override { runTimerEnabled = true; }
    void DisableRunTimer() override { runTimerEnabled = false; }
    bool IsRunTimerEnabled() const override { return runTimerEnabled; }
    void DrawThreeDImage() override { ++threeDDraws; }
    void DrawFarFieldPictures() override { ++farFieldDraws; }
    void RefreshMirrorDisplay() override { ++mirrorDisplayRefreshes; }
    void ClearInformation() override { information.clear(); }
    void AddInformationLine(const std::string& line) override { information.push_back(line); }

    bool runTimerEnabled = false;
    int threeDDraws = 0;
    int farFieldDraws = 0;
    int mirrorDisplayRefreshes = 0;
    std::vector<std::string> information;
};

} // namespace ostrander
