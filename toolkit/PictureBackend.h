#pragma once
// Pictures drawn without a window: the canvases they are drawn on and their
// PNG bytes come from a backend that the program installs. Programs with a
// GUI application install the QImage one (toolkit/qt); ostrander-cli loads it
// from its picture module only when a command draws a picture, so that the
// commands without pictures start without the GUI libraries. With no backend
// installed, pictures cannot be drawn and the callers say so.
#include "toolkit/Canvas.h"

#include <memory>
#include <string>

namespace ostrander {

struct PictureBackend {
    // A white canvas of width x height pixels.
    std::unique_ptr<Canvas> (*newCanvas)(int width, int height);
    // The canvas (one made by newCanvas) as a PNG file's bytes; false when
    // it cannot be encoded.
    bool (*encodePng)(const Canvas& canvas, std::string& png);
};

// What a picture module exports under kPictureModuleEntry: a plain table,
// checked by its version before anything of it is used.
struct PictureModule {
    int version;
    // Sets up what drawing needs (the GUI application, offscreen, and its
    // fonts); false with the reason.
    bool (*start)(int argc, char** argv, std::string& error);
    // Ends what start set up; no picture is drawn afterwards.
    void (*stop)();
    const PictureBackend* backend;
};
inline constexpr int kPictureModuleVersion = 1;
inline constexpr const char* kPictureModuleEntry = "ostrander_picture_module";

// The backend pictures are drawn with (none: nullptr), and its installation
// (nullptr removes it). Installed once at start-up, before any drawing.
const PictureBackend* PictureBackendInUse();
void UsePictureBackend(const PictureBackend* backend);

// A white canvas from the installed backend; nullptr with the reason when
// there is none.
std::unique_ptr<Canvas> NewPictureCanvas(int width, int height, std::string& error);

} // namespace ostrander
