#pragma once
// The picture backend on ImageCanvas: canvases on QImage and their PNG bytes.
// A GUI application (ostrander::Application, ostrander-cli's picture module)
// installs it.
#include "toolkit/PictureBackend.h"

#include <QImage>

#include <string>

namespace ostrander {

const PictureBackend& ImageCanvasPictures();

// An image as a PNG file's bytes; false when it is null or cannot be encoded.
bool EncodePng(const QImage& image, std::string& png);

} // namespace ostrander
