// Renders the five result pictures of a shipped mirror to PNG files, so they
// can be looked at without the program: loads the device, runs its influence
// functions, sets a telling voltage pattern and redraws as an idle pass does;
// then again with "Remove Focus and Piston" and the far field zoomed.
//
//   render_pictures [device.ini [output folder [pixel ratio]]]
//
// The device is looked up in the device folder beside the program's folder
// (build/Devices for build/bin/render_pictures); the pictures go to the
// output folder (default: build/pictures), drawn at the pixel ratio of a
// high-density screen when one is given (default 1).
#include "tests/model/pictures/PictureRig.h"
#include "toolkit/qt/Application.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

using namespace ostrander;

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    Application app(argc, argv);
    const std::string device = argc > 1 ? argv[1] : "Hex61S.ini";
    const std::string folder = argc > 2 ? argv[2] : ProgramFolder() + "/../pictures";
    const double ratio = argc > 3 ? std::atof(argv[3]) : 1.0;
    std::filesystem::create_directories(folder);

    PictureRig rig;
    if (!rig.LoadAndRun(device)) {
        std::fprintf(stderr, "render_pictures: %s did not load and run.\n", device.c_str());
        std::fprintf(stderr, "  selection %d, run start %d, run end %d\n",
                     static_cast<int>(rig.selection), static_cast<int>(rig.start),
                     static_cast<int>(rig.end));
        return 1;
    }
    // A gentle ramp across the mirror with one strong pad off the centre:
    // the surface shows a sloping dish with a dimple, the interferogram
    // bunches its fringes at the dimple, the far field spreads beside the axis.
    const double R = SelectedModel(rig.local)->Diameter_m / 2;
    rig.SetPattern([R](double x, double y) {
        const double d = std::hypot(x - 0.35 * R, y + 0.3 * R) / R;
        return d < 0.12 ? 160.0 : 20.0 + 20.0 * (x / R + 1.0);
    });
    const std::string stem = std::filesystem::path(device).stem().string();
    rig.SetPixelRatio(ratio);
    rig.Redraw();
    bool ok = rig.SavePngs(folder, stem);

    rig.local.RemoveFocus = true;
    rig.local.FarFieldZoom = 4;
    rig.Redraw();
    ok = rig.SavePngs(folder, stem + "_removefocus") && ok;
    if (!ok) {
        std::fprintf(stderr, "render_pictures: could not write to %s\n", folder.c_str());
        return 1;
    }
    std::printf("render_pictures: wrote the pictures of %s to %s\n", device.c_str(),
                folder.c_str());
    return 0;
}
