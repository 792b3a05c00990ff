#pragma once
// Canvas drawn into a QImage (RGB32) with the Windows GDI rules.
// Rectangles, fills, pixels and lines write the image directly (the pictures
// draw ten thousand cells and a hundred thousand pixels per redraw); ellipses,
// polygons, arcs and text go through QPainter with antialiasing off.
#include "toolkit/Canvas.h"

#include <QImage>

namespace ostrander {

class ImageCanvas : public Canvas {
public:
    ImageCanvas(int width = 1, int height = 1);

    int Width() const override { return image_.width(); }
    int Height() const override { return image_.height(); }
    // Resizes the image; the contents are cleared to white.
    void Resize(int width, int height);

    void Rectangle(int x1, int y1, int x2, int y2) override;
    using Canvas::Rectangle;
    void FillRect(const Rect& r) override;
    void Ellipse(int x1, int y1, int x2, int y2) override;
    void Polygon(const Point* points, int count) override;
    void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) override;
    void LineTo(int x, int y) override;
    void FloodFill(int x, int y, TColor border) override;
    TColor GetPixel(int x, int y) const override;
    void SetPixel(int x, int y, TColor c) override;
    void SetPixels(int x, int y, const TColor* colors, int count) override;
    void TextOut(int x, int y, std::string_view text) override;
    int TextWidth(std::string_view text) override;
    int TextHeight(std::string_view text) override;

    const QImage& Image() const { return image_; }
    QImage& Image() { return image_; }
    bool SavePng(const std::string& fileName) const;

    // QRgb of a TColor (system colours resolved).
    static unsigned int ToQRgb(TColor c);
    static TColor FromQRgb(unsigned int rgb);

private:
    void FillSpan(int x1, int x2, int y, unsigned int rgb); // x1..x2-1, clipped
    class QFont MakeFont() const;

    QImage image_;
};

} // namespace ostrander
