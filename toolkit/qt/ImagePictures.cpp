#include "toolkit/qt/ImagePictures.h"

#include "toolkit/qt/ImageCanvas.h"

#include <QBuffer>
#include <QByteArray>

namespace ostrander {

namespace {

std::unique_ptr<Canvas> NewImageCanvas(int width, int height) {
    return std::make_unique<ImageCanvas>(width, height);
}

bool EncodeCanvas(const Canvas& canvas, std::string& png) {
    if (const auto* image = dynamic_cast<const ImageCanvas*>(&canvas))
        return EncodePng(image->Image(), png);
    return false;
}

const PictureBackend kImageCanvasPictures{&NewImageCanvas, &EncodeCanvas};

} // namespace

const PictureBackend& ImageCanvasPictures() { return kImageCanvasPictures; }

bool EncodePng(const QImage& image, std::string& png) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (image.isNull() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return false;
    png.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return true;
}

} // namespace ostrander
