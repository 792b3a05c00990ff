#pragma once
// Canvas drawn into a QImage (RGB32) with the Windows GDI rules.
// Rectangles, fills, pixels and lines write the image directly (the pictures
// draw ten thousand cells and a hundred thousand pixels per redraw); ellipses,
// polygons, arcs and text go through QPainter with antialiasing off.
//
// With a pixel ratio above 1 the image has that many device pixels per
// logical pixel (QImage::devicePixelRatio): the coordinates, Width() and
// Height() stay logical while every shape, line and letter is drawn at device
// resolution, so a widget on a high-density screen shows it 1:1. Pens keep
// their logical width (a 1-pixel pen is two device pixels wide at ratio 2).
//
// With KeepLayers on, DrawLayer keeps the pixels of each layer it draws (the
// last few keys) and writes them again for the same key, size and state: the
// pictures redraw the same actuator outlines, numbers and captions on every
// pass, and writing their pixels costs a fraction of drawing them.
#include "toolkit/Canvas.h"

#include <QImage>

#include <cstdint>
#include <utility>
#include <vector>

namespace ostrander {

class ImageCanvas : public Canvas {
public:
    // A ratio that is not finite or below 1 is taken as 1, above 8 as 8
    // (UsableRatio).
    ImageCanvas(int width = 1, int height = 1, double ratio = 1.0);
    static double UsableRatio(double ratio) {
        return ratio >= 1.0 ? (ratio <= 8.0 ? ratio : 8.0) : 1.0;
    }

    int Width() const override { return width_; }
    int Height() const override { return height_; }
    double PixelRatio() const override { return ratio_; }
    // Resizes the image; the contents are cleared to white. Without a ratio
    // the present one is kept.
    void Resize(int width, int height);
    void Resize(int width, int height, double ratio);

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
    void SetDevicePixels(int x, int y, const TColor* colors, int count) override;
    void TextOut(int x, int y, std::string_view text) override;
    void DrawLayer(std::span<const double> key,
                   const std::function<void(Canvas&)>& draw) override;
    // Off by default (DrawLayer draws every time); a picture control turns
    // it on. Turning it off forgets the kept layers.
    void KeepLayers(bool keep);
    bool KeepsLayers() const { return keepLayers_; }
    // How many times DrawLayer has drawn a layer to keep it.
    int LayersRecorded() const { return layersRecorded_; }
    int TextWidth(std::string_view text) override;
    int TextHeight(std::string_view text) override;

    // The image in device pixels, its devicePixelRatio the canvas's ratio.
    const QImage& Image() const { return image_; }
    QImage& Image() { return image_; }
    bool SavePng(const std::string& fileName) const;

    // QRgb of a TColor (system colours resolved).
    static unsigned int ToQRgb(TColor c);
    static TColor FromQRgb(unsigned int rgb);

private:
    // Device edge of a logical edge.
    int Dev(int x) const { return ratio_ == 1.0 ? x : DeviceEdgeAt(x, ratio_); }
    // Fills device pixels x1..x2-1, y1..y2-1, clipped.
    void FillDevice(int x1, int y1, int x2, int y2, unsigned int rgb);
    // The logical block x1..x2-1, y1..y2-1 in device pixels.
    void FillBlock(int x1, int y1, int x2, int y2, unsigned int rgb) {
        FillDevice(Dev(x1), Dev(y1), Dev(x2), Dev(y2), rgb);
    }
    // The pen's width in device pixels.
    int DevicePenWidth() const;
    // Device coordinate of a QPainter path through logical pixel x, so that
    // the device pen covers the device pixels the logical pen would.
    int PenPath(int x) const;
    // The font at the given scale (1: logical, the ratio: device).
    class QFont MakeFont(double scale = 1.0) const;

    // The drawing state a layer starts from and leaves behind.
    struct DrawState {
        TColor pen, brush, fontColor;
        int penWidth, fontSize, fontHeight, fontStyle;
        BrushStyle brushStyle;
        std::string fontName;
        int penX, penY;
        // Equal apart from the pen position, which a layer may not depend on.
        bool SameDrawing(const DrawState& o) const;
    };
    DrawState State() const;
    void SetState(const DrawState& state);
    // A layer drawn once: the device pixels it wrote (index into the bits,
    // colour), for this key on an image of this size and ratio.
    struct Layer {
        std::vector<double> key;
        int width = 0, height = 0;
        double ratio = 1.0;
        DrawState before, after;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> pixels;
    };
    // Draws the layer on two scratch images of different backgrounds: the
    // pixels it wrote are those where both agree.
    Layer RecordLayer(std::span<const double> key, const std::function<void(Canvas&)>& draw) const;

    QImage image_;
    bool keepLayers_ = false;
    std::vector<Layer> layers_;
    int layersRecorded_ = 0;
    int width_ = 1;
    int height_ = 1;
    double ratio_ = 1.0;
};

} // namespace ostrander
