#pragma once
// The drawing surface the pictures and maps paint on, with the Windows GDI
// rules they were designed for: right and bottom edges of rectangles and
// ellipses are exclusive, LineTo does not draw its end pixel, 1-pixel pens,
// no antialiasing, text placed by its top-left corner.
//
// The base class holds the drawing state (pen, brush, font, pen position);
// implementations draw. ImageCanvas (toolkit/qt) draws into a QImage.
#include "toolkit/TColor.h"

#include <cmath>

#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace ostrander {

struct Point {
    int x = 0;
    int y = 0;
};

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

enum class BrushStyle { Solid, Clear };

// Font style bits.
enum FontStyle : int { fsNone = 0, fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

class Canvas {
public:
    virtual ~Canvas() = default;

    virtual int Width() const = 0;
    virtual int Height() const = 0;

    // Device pixels per logical pixel: above 1 on a high-density screen,
    // where the canvas keeps its logical coordinates and draws each shape at
    // device resolution. A logical edge x lies on device edge DeviceEdge(x),
    // so the cell x1..x2-1 covers the device pixels DeviceEdge(x1) to
    // DeviceEdge(x2) - 1 and neighbouring cells neither gap nor overlap.
    virtual double PixelRatio() const { return 1.0; }
    int DeviceEdge(int x) const { return DeviceEdgeAt(x, PixelRatio()); }
    int DeviceWidth() const { return DeviceEdge(Width()); }
    int DeviceHeight() const { return DeviceEdge(Height()); }
    static int DeviceEdgeAt(int x, double ratio) {
        if (ratio == 1.0)
            return x;
        // Rounded to the nearest device edge, and held where no arithmetic
        // on device coordinates can overflow.
        constexpr double kLimit = 1 << 29;
        const double d = std::floor(x * ratio + 0.5);
        return d > kLimit ? static_cast<int>(kLimit)
                          : (d < -kLimit ? -static_cast<int>(kLimit) : static_cast<int>(d));
    }

    // Pen.
    TColor PenColor() const { return penColor_; }
    void SetPenColor(TColor c) { penColor_ = c; }
    int PenWidth() const { return penWidth_; }
    void SetPenWidth(int w) { penWidth_ = w < 1 ? 1 : w; }

    // Brush.
    TColor BrushColor() const { return brushColor_; }
    void SetBrushColor(TColor c) { brushColor_ = c; }
    BrushStyle GetBrushStyle() const { return brushStyle_; }
    void SetBrushStyle(BrushStyle s) { brushStyle_ = s; }

    // Font. Size is in points at 96 dpi; height in pixels, negative meaning the
    // character height (em), positive the cell height. Setting one sets the
    // other: height = -round(size * 96 / 72), size = -round(height * 72 / 96).
    const std::string& FontName() const { return fontName_; }
    void SetFontName(std::string_view name) { fontName_ = std::string(name); }
    int FontSize() const { return fontSize_; }
    void SetFontSize(int points);
    int FontHeight() const { return fontHeight_; }
    void SetFontHeight(int pixels);
    TColor FontColor() const { return fontColor_; }
    void SetFontColor(TColor c) { fontColor_ = c; }
    int GetFontStyle() const { return fontStyle_; }
    void SetFontStyle(int style) { fontStyle_ = style; }

    // Pen position for MoveTo/LineTo.
    Point PenPos() const { return penPos_; }
    void MoveTo(int x, int y) { penPos_ = {x, y}; }

    // Outline with the pen, inside filled with the brush unless it is clear;
    // covers x1..x2-1, y1..y2-1.
    virtual void Rectangle(int x1, int y1, int x2, int y2) = 0;
    void Rectangle(const Rect& r) { Rectangle(r.left, r.top, r.right, r.bottom); }
    // Fills with the brush colour, no outline; covers left..right-1, top..bottom-1.
    virtual void FillRect(const Rect& r) = 0;
    // Ellipse inscribed in the box x1..x2-1, y1..y2-1, outline and fill as Rectangle.
    virtual void Ellipse(int x1, int y1, int x2, int y2) = 0;
    // Closed polygon, outlined with the pen and filled (alternate rule) with the brush.
    virtual void Polygon(const Point* points, int count) = 0;
    // Arc of the ellipse in the box, counter-clockwise from the ray through
    // (x3, y3) to the ray through (x4, y4), with the pen.
    virtual void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) = 0;
    // Line from the pen position to (x, y), end pixel not drawn; moves the pen there.
    virtual void LineTo(int x, int y) = 0;
    // Fills with the brush colour from (x, y) outwards up to pixels of the border colour.
    virtual void FloodFill(int x, int y, TColor border) = 0;
    // Pixel access; outside the canvas reads give -1 and writes do nothing.
    virtual TColor GetPixel(int x, int y) const = 0;
    virtual void SetPixel(int x, int y, TColor c) = 0;
    // count pixels from (x, y) rightwards, as SetPixel one by one would set them.
    virtual void SetPixels(int x, int y, const TColor* colors, int count) {
        for (int k = 0; k < count; ++k)
            SetPixel(x + k, y, colors[k]);
    }
    // count device pixels from device pixel (x, y) rightwards: pictures of a
    // sampled field sample it once per device pixel. At ratio 1 the same as
    // SetPixels.
    virtual void SetDevicePixels(int x, int y, const TColor* colors, int count) {
        SetPixels(x, y, colors, count);
    }
    // Text with its top-left at (x, y) in the font colour; with a solid brush
    // the text box is first filled with the brush colour.
    virtual void TextOut(int x, int y, std::string_view text) = 0;
    virtual int TextWidth(std::string_view text) = 0;
    virtual int TextHeight(std::string_view text) = 0;

    // A layer whose pixels depend only on `key`, the canvas's size and pixel
    // ratio and the drawing state on entry other than the pen position (the
    // outlines and numbers of a mirror's actuators, a caption): draw(canvas)
    // draws it, writing pixels without reading them (no FloodFill, no
    // GetPixel) and moving the pen before any LineTo. A canvas may keep the
    // pixels it wrote and, the next time the same key comes, write them again
    // and leave the drawing state as draw did, without drawing. Here it draws.
    virtual void DrawLayer(std::span<const double> key,
                           const std::function<void(Canvas&)>& draw) {
        (void)key;
        draw(*this);
    }

    // Bracket a run of drawing (the window may refresh only after Unlock).
    virtual void Lock() { ++lockCount_; }
    virtual void Unlock() {
        if (lockCount_ > 0)
            --lockCount_;
    }
    int LockCount() const { return lockCount_; }

protected:
    TColor penColor_ = clBlack;
    int penWidth_ = 1;
    TColor brushColor_ = clWhite;
    BrushStyle brushStyle_ = BrushStyle::Solid;
    std::string fontName_ = "MS Sans Serif";
    int fontSize_ = 8;
    int fontHeight_ = -11;
    TColor fontColor_ = clBlack;
    int fontStyle_ = fsNone;
    Point penPos_{};
    int lockCount_ = 0;
};

// Canvas lock held for a scope.
class CanvasLock {
public:
    explicit CanvasLock(Canvas& c) : c_(c) { c_.Lock(); }
    ~CanvasLock() { c_.Unlock(); }
    CanvasLock(const CanvasLock&) = delete;
    CanvasLock& operator=(const CanvasLock&) = delete;

private:
    Canvas& c_;
};

} // namespace ostrander
