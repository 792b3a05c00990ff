#pragma once
// The engine session with its record and working state, run on a shipped
// device, whose host draws the five result pictures into images of their
// design sizes: what the main window does on an idle pass, without the
// window. No dialog service: the session reports by status. Shared by the
// renderer, the picture tests and the benchmarks.
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "model/DMModelLocal.h"
#include "model/DMModelMain.h"
#include "model/EngineSession.h"
#include "model/SessionAccess.h"
#include "model/MainData.h"
#include "model/ModelHost.h"
#include "model/pictures/ResultPictures.h"
#include "toolkit/Paths.h"
#include "toolkit/qt/ImageCanvas.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace ostrander {

class PictureRig : public RecordingModelHost {
public:
    // The canvases keep their fixed layers, as the window's picture controls do.
    PictureRig() {
        for (ImageCanvas* c : {&threeD, &surface, &interferogram, &farFieldImage, &farFieldPlot})
            c->KeepLayers(true);
    }
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

    // Selects the device (a name in the device folder, e.g. "Hex61S.ini") and
    // runs its influence functions tick by tick to the end, as loading it in
    // the program does. False when the mirror is not usable or the run did
    // not finish (see selection, start and end).
    bool LoadAndRun(const std::string& device) {
        selection = session.SelectMirror(0, std::string(DeviceFolderRelative) + device);
        if (selection != MirrorSelection::Selected)
            return false;
        start = session.StartInfluenceRun();
        if (start != RunStart::Started)
            return false;
        end = session.RunToEnd();
        return end == RunTick::Finished && local.DisplaysValid;
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

    // The idle pass's bookkeeping of the voltages (without setting the
    // 0.1 V floor, so that any voltages can be looked at).
    void NoteVoltages() { session.NoteVoltages(); }

    // The recalculation of the displays from any voltages: synthesis, far
    // field (which draws the far-field pictures), then the pictures the
    // session asks for.
    void Redraw() {
        const RecalculationResult result = session.ComputeResults();
        if (result.pictures & kSurfaceImage)
            DrawSurfaceImage(surface, engine);
        if (result.pictures & kInterferogram)
            DrawInterferogram(interferogram, engine);
        if (result.pictures & kThreeDImage)
            ostrander::DrawThreeDImage(threeD, engine);
    }

    // Draws the pictures at this many device pixels per logical pixel from
    // the next redraw on, at their design sizes.
    void SetPixelRatio(double ratio) {
        for (ImageCanvas* c : {&threeD, &surface, &interferogram, &farFieldImage, &farFieldPlot})
            c->Resize(c->Width(), c->Height(), ratio);
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

    MainData data;
    DMModelLocal local;
    EngineSession session{data, local, *this};
    DMModelMain& engine = SessionAccess::Engine(session);
    MirrorSelection selection = MirrorSelection::NotMirrorInfo;
    RunStart start = RunStart::NoMirror;
    RunTick end = RunTick::Idle;
};

} // namespace ostrander
