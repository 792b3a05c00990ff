#pragma once
// The engine with its record and working state, run on a shipped device,
// whose host draws the five result pictures into images of their design
// sizes: what the main window does on an idle pass, without the window.
// Shared by the renderer, the picture tests and the benchmarks.
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "model/DMModelLocal.h"
#include "model/DMModelMain.h"
#include "model/MainData.h"
#include "model/ModelHost.h"
#include "model/pictures/ResultPictures.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Paths.h"
#include "toolkit/qt/ImageCanvas.h"

#include <algorithm>
#include <functional>
#include <string>

namespace ostrander {

class PictureRig : public RecordingModelHost {
public:
    PictureRig() = default;
    PictureRig(const PictureRig&) = delete;
    PictureRig& operator=(const PictureRig&) = delete;

    void DrawThreeDImage() override {
        RecordingModelHost::DrawThreeDImage();
        ostrander::DrawThreeDImage(threeD, engine);
    }
    void DrawFarFieldPictures() override {
        RecordingModelHost::DrawFarFieldPictures();
        DrawFarFieldImage(farFieldImage, engine, kFarFieldTitle);
        DrawFarFieldPlot(farFieldPlot, engine);
    }

    // Selects the device (a name in the device folder, e.g. "Hex61S.ini") as
    // the setup window does, sets display number 1 to the limit voltage and
    // runs the influence functions tick by tick to the end. False when the
    // mirror is not valid or the run did not finish (see dialogs.messages).
    bool LoadAndRun(const std::string& device) {
        const std::string fileName = std::string(DeviceFolderRelative) + device;
        auto* info = new MirrorInfoClass(fileName);
        auto* mirror = new MirrorClass(fileName);
        const int count = info->Model ? info->Model->Actuators : 0;
        local.SelectMirror(0, info, mirror, count);
        if (!mirror->IsValid())
            return false;
        mirror->SetVoltage(1, mirror->GetLimitVoltage());
        engine.CalculateInfluenceFunctions();
        for (int ticks = 0; IsRunTimerEnabled() && ticks < 100000; ++ticks)
            engine.InfluenceFunctionStep();
        return local.DisplaysValid;
    }

    // Sets every actuator that lies on the membrane to volts(x, y) (centre in
    // metres), keeps the mirror's rules, and notes the peak voltage as the
    // idle pass does.
    void SetPattern(const std::function<double(double x, double y)>& volts) {
        const DMInfoClass* model = SelectedModel(local);
        for (const DmActuatorInfoClass* a = model->ActuatorList.first; a; a = a->next)
            if (!a->Auxilary)
                local.Mirror->SetVoltage(a->DisplayIndex, volts(a->X, a->Y));
        NoteVoltages();
    }

    // The idle pass's bookkeeping of the voltages (without the 0.1 V floor).
    void NoteVoltages() {
        double peak = 0.0;
        bool above = false;
        for (int k = 1; k <= SelectedModel(local)->Actuators; ++k) {
            const double v = local.Mirror->GetVoltage(k);
            peak = std::max(peak, v);
            above = above || v > 0.1;
        }
        local.PeakVoltage = peak;
        local.PeakVoltageFraction = peak / 350.0;
        local.VoltagesAtFloor = !above;
    }

    // The recalculation of the displays: synthesis, far field (which draws
    // the far-field pictures), surface image, interferogram, 3D image.
    void Redraw() {
        engine.SynthesizeSurface();
        engine.ComputeFarField();
        DrawSurfaceImage(surface, engine);
        DrawInterferogram(interferogram, engine);
        ostrander::DrawThreeDImage(threeD, engine);
    }

    // Writes folder/prefix + "_threed.png" and the four others.
    bool SavePngs(const std::string& folder, const std::string& prefix) const {
        bool ok = true;
        ok = threeD.SavePng(folder + "/" + prefix + "_threed.png") && ok;
        ok = surface.SavePng(folder + "/" + prefix + "_surface.png") && ok;
        ok = interferogram.SavePng(folder + "/" + prefix + "_interferogram.png") && ok;
        ok = farFieldImage.SavePng(folder + "/" + prefix + "_farfield_image.png") && ok;
        ok = farFieldPlot.SavePng(folder + "/" + prefix + "_farfield_plot.png") && ok;
        return ok;
    }

    // The main window's picture controls, at their design sizes.
    ImageCanvas threeD{309, 335};
    ImageCanvas surface{309, 335};
    ImageCanvas interferogram{309, 335};
    ImageCanvas farFieldImage{335, 335};
    ImageCanvas farFieldPlot{335, 335};

    ScriptedDialogs dialogs;
    MainData data;
    DMModelLocal local;
    DMModelMain engine{data, local, *this};

private:
    ScopedDialogs scoped_{dialogs};
};

} // namespace ostrander
