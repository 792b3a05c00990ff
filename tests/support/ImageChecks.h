#pragma once
// Checks on the pixels of drawn images shared by the canvas and picture tests.
#include <QImage>

namespace ostrander::testing_support {

// True when the image is made of uniform 2 x 2 blocks, as an image drawn at
// logical size and doubled would be.
inline bool PixelDoubled(const QImage& image) {
    for (int y = 0; y + 1 < image.height(); y += 2)
        for (int x = 0; x + 1 < image.width(); x += 2) {
            const QRgb p = image.pixel(x, y);
            if (image.pixel(x + 1, y) != p || image.pixel(x, y + 1) != p ||
                image.pixel(x + 1, y + 1) != p)
                return false;
        }
    return true;
}

} // namespace ostrander::testing_support
