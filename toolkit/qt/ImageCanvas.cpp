#include "toolkit/qt/ImageCanvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <cmath>
#include <vector>

namespace ostrander {

unsigned int ImageCanvas::ToQRgb(TColor c) {
    TColor rgb = IsSystemColor(c) ? ColorToRGB(c) : c;
    return qRgb(RedOf(rgb), GreenOf(rgb), BlueOf(rgb));
}

TColor ImageCanvas::FromQRgb(unsigned int rgb) {
    return RGBColor(qRed(rgb), qGreen(rgb), qBlue(rgb));
}

ImageCanvas::ImageCanvas(int width, int height, double ratio) {
    Resize(width, height, ratio);
}

void ImageCanvas::Resize(int width, int height) {
    Resize(width, height, ratio_);
}

void ImageCanvas::Resize(int width, int height, double ratio) {
    ratio_ = UsableRatio(ratio);
    width_ = std::max(1, width);
    height_ = std::max(1, height);
    image_ = QImage(Dev(width_), Dev(height_), QImage::Format_RGB32);
    image_.setDevicePixelRatio(ratio_);
    image_.fill(Qt::white);
}

int ImageCanvas::DevicePenWidth() const {
    return ratio_ == 1.0 ? penWidth_ : std::max(1, DeviceEdgeAt(penWidth_, ratio_));
}

namespace {
// Spans written straight into the image: the pictures draw ten thousand small
// cells per redraw, so the image is detached once per shape, not per row.
struct Spans {
    explicit Spans(QImage& image)
        : bits(reinterpret_cast<QRgb*>(image.bits())), stride(image.bytesPerLine() / 4),
          W(image.width()), H(image.height()) {}
    // x1..x2-1 of row y, clipped.
    void Fill(int x1, int x2, int y, QRgb rgb) const {
        if (y < 0 || y >= H)
            return;
        x1 = std::max(x1, 0);
        x2 = std::min(x2, W);
        if (x1 < x2)
            std::fill(bits + y * stride + x1, bits + y * stride + x2, rgb);
    }
    // x1..x2-1 of rows y1..y2-1, clipped.
    void Fill(int x1, int y1, int x2, int y2, QRgb rgb) const {
        for (int y = std::max(y1, 0); y < std::min(y2, H); ++y)
            Fill(x1, x2, y, rgb);
    }
    QRgb* bits;
    qsizetype stride;
    int W, H;
};
} // namespace

void ImageCanvas::FillDevice(int x1, int y1, int x2, int y2, unsigned int rgb) {
    if (x1 >= x2 || y1 >= y2)
        return;
    Spans(image_).Fill(x1, y1, x2, y2, rgb);
}

void ImageCanvas::FillRect(const Rect& r) {
    int l = std::min(r.left, r.right), rr = std::max(r.left, r.right);
    int t = std::min(r.top, r.bottom), b = std::max(r.top, r.bottom);
    FillBlock(l, t, rr, b, ToQRgb(brushColor_));
}

void ImageCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    int l = std::min(x1, x2), r = std::max(x1, x2);
    int t = std::min(y1, y2), b = std::max(y1, y2);
    if (r - l < 1 || b - t < 1)
        return;
    const unsigned int pen = ToQRgb(penColor_);
    const int w = penWidth_;
    // A cell outlined in its own colour (ten thousand per surface picture)
    // is one fill.
    if (brushStyle_ == BrushStyle::Solid && w == 1 && ToQRgb(brushColor_) == pen) {
        FillBlock(l, t, r, b, pen);
        return;
    }
    if (brushStyle_ == BrushStyle::Solid)
        FillRect({l + 1, t + 1, r - 1, b - 1});
    // The outline: bands of the pen width along each edge, inside the box.
    FillBlock(l, t, r, t + w, pen);
    FillBlock(l, b - w, r, b, pen);
    FillBlock(l, t, l + w, b, pen);
    FillBlock(r - w, t, r, b, pen);
}

void ImageCanvas::SetPixel(int x, int y, TColor c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    if (ratio_ == 1.0)
        reinterpret_cast<QRgb*>(image_.scanLine(y))[x] = ToQRgb(c);
    else
        FillBlock(x, y, x + 1, y + 1, ToQRgb(c));
}

void ImageCanvas::SetPixels(int x, int y, const TColor* colors, int count) {
    if (y < 0 || y >= height_ || !colors)
        return;
    const int first = std::max(x, 0);
    const int end = static_cast<int>(
        std::min<long long>(static_cast<long long>(x) + std::max(count, 0), width_));
    if (first >= end)
        return;
    if (ratio_ == 1.0) {
        auto* line = reinterpret_cast<QRgb*>(image_.scanLine(y));
        for (int k = first; k < end; ++k)
            line[k] = ToQRgb(colors[k - x]);
        return;
    }
    // Each logical pixel a block: the first device row is written, the
    // others copied from it.
    const int y1 = Dev(y), y2 = std::min(Dev(y + 1), image_.height());
    auto* line = reinterpret_cast<QRgb*>(image_.scanLine(y1));
    for (int k = first; k < end; ++k)
        std::fill(line + Dev(k), line + std::min(Dev(k + 1), image_.width()), ToQRgb(colors[k - x]));
    const int d1 = Dev(first), d2 = std::min(Dev(end), image_.width());
    for (int yy = y1 + 1; yy < y2; ++yy)
        std::copy(line + d1, line + d2, reinterpret_cast<QRgb*>(image_.scanLine(yy)) + d1);
}

void ImageCanvas::SetDevicePixels(int x, int y, const TColor* colors, int count) {
    if (y < 0 || y >= image_.height() || !colors)
        return;
    const int first = std::max(x, 0);
    const int end = static_cast<int>(
        std::min<long long>(static_cast<long long>(x) + std::max(count, 0), image_.width()));
    if (first >= end)
        return;
    auto* line = reinterpret_cast<QRgb*>(image_.scanLine(y));
    for (int k = first; k < end; ++k)
        line[k] = ToQRgb(colors[k - x]);
}

TColor ImageCanvas::GetPixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return -1;
    return FromQRgb(reinterpret_cast<const QRgb*>(image_.constScanLine(Dev(y)))[Dev(x)]);
}

void ImageCanvas::LineTo(int x, int y) {
    int x0 = penPos_.x, y0 = penPos_.y;
    penPos_ = {x, y};
    unsigned int pen = ToQRgb(penColor_);
    // Wider pens stamp a square of the pen width on each pixel, this much
    // before and after it.
    const int before = (penWidth_ - 1) / 2, after = penWidth_ / 2;
    if (ratio_ != 1.0 && (x0 == x) != (y0 == y)) {
        // Level and upright lines cover the device pixels of their logical
        // pixels exactly, so they meet cells and rectangles without a seam.
        int a = x0 < x ? x0 : x + 1, b = x0 < x ? x : x0 + 1; // pixels a..b-1 along x
        int c = y0 < y ? y0 : y + 1, d = y0 < y ? y : y0 + 1;
        if (y0 == y)
            c = y, d = y + 1;
        else
            a = x, b = x + 1;
        FillBlock(a - before, c - before, b + after, d + after, pen);
        return;
    }
    // Bresenham from the pen position, end pixel excluded; at a ratio above
    // 1 it runs over device pixels with the pen's device width.
    const int sb = ratio_ == 1.0 ? -before : -DeviceEdgeAt(before, ratio_);
    const int sa = ratio_ == 1.0 ? after + 1 : DeviceEdgeAt(after + 1, ratio_);
    const bool single = sa - sb == 1;
    x0 = Dev(x0), y0 = Dev(y0), x = Dev(x), y = Dev(y);
    int dx = std::abs(x - x0), sx = x0 < x ? 1 : -1;
    int dy = -std::abs(y - y0), sy = y0 < y ? 1 : -1;
    int err = dx + dy;
    const int W = image_.width(), H = image_.height();
    const Spans spans(image_);
    while (!(x0 == x && y0 == y)) {
        if (single) {
            if (x0 >= 0 && y0 >= 0 && x0 < W && y0 < H)
                spans.bits[y0 * spans.stride + x0] = pen;
        } else {
            spans.Fill(x0 + sb, y0 + sb, x0 + sa, y0 + sa, pen);
        }
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

namespace {
void SetupPainter(QPainter& p, TColor pen, int penWidth, TColor brush, BrushStyle style) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(QColor::fromRgb(ImageCanvas::ToQRgb(pen)), penWidth, Qt::SolidLine, Qt::SquareCap,
                  Qt::MiterJoin));
    if (style == BrushStyle::Solid)
        p.setBrush(QColor::fromRgb(ImageCanvas::ToQRgb(brush)));
    else
        p.setBrush(Qt::NoBrush);
}

// A painter in device pixels: while it paints, the image's pixel ratio is 1,
// so that QPainter takes the coordinates as they are given.
class DevicePainter : public QPainter {
public:
    explicit DevicePainter(QImage& image) : image_(image), ratio_(image.devicePixelRatio()) {
        image_.setDevicePixelRatio(1.0);
        begin(&image_);
    }
    ~DevicePainter() {
        end();
        image_.setDevicePixelRatio(ratio_);
    }

private:
    QImage& image_;
    qreal ratio_;
};
} // namespace

int ImageCanvas::PenPath(int x) const {
    if (ratio_ == 1.0)
        return x;
    // Qt centres a pen of width w on the path, covering w / 2 pixels before
    // it: put the device pen over the device pixels of the logical one.
    return Dev(x - penWidth_ / 2) + DevicePenWidth() / 2;
}

void ImageCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    int l = std::min(x1, x2), r = std::max(x1, x2);
    int t = std::min(y1, y2), b = std::max(y1, y2);
    if (r - l < 1 || b - t < 1)
        return;
    DevicePainter p(image_);
    SetupPainter(p, penColor_, DevicePenWidth(), brushColor_, brushStyle_);
    // A 1-pixel pen outlines x..x+w inclusive, so the box loses one pixel each way.
    const int L = PenPath(l), T = PenPath(t);
    p.drawEllipse(QRect(L, T, PenPath(r - 1) - L, PenPath(b - 1) - T));
}

void ImageCanvas::Polygon(const Point* points, int count) {
    if (!points || count < 2)
        return;
    QPolygon poly;
    poly.reserve(count);
    for (int i = 0; i < count; ++i)
        poly << QPoint(PenPath(points[i].x), PenPath(points[i].y));
    DevicePainter p(image_);
    SetupPainter(p, penColor_, DevicePenWidth(), brushColor_, brushStyle_);
    p.drawPolygon(poly, Qt::OddEvenFill);
}

void ImageCanvas::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
    int l = std::min(x1, x2), r = std::max(x1, x2);
    int t = std::min(y1, y2), b = std::max(y1, y2);
    if (r - l < 1 || b - t < 1)
        return;
    // The ellipse drawn is the one Ellipse draws in this box. Qt's angles are
    // parametric (x = rx cos t, y = ry sin t); the start and end are rays from
    // the centre through the given points, so scale each ray onto the unit circle.
    const double cx = (l + r - 1) / 2.0, cy = (t + b - 1) / 2.0;
    const double rx = std::max(0.5, (r - l - 1) / 2.0), ry = std::max(0.5, (b - t - 1) / 2.0);
    auto angle = [&](int x, int y) {
        return std::atan2(-(y - cy) / ry, (x - cx) / rx) * 180.0 / M_PI; // y up on screen
    };
    double a1 = angle(x3, y3);
    double a2 = angle(x4, y4);
    double span = a2 - a1;
    while (span <= 0)
        span += 360.0;
    DevicePainter p(image_);
    SetupPainter(p, penColor_, DevicePenWidth(), brushColor_, BrushStyle::Clear);
    const int L = PenPath(l), T = PenPath(t);
    p.drawArc(QRect(L, T, PenPath(r - 1) - L, PenPath(b - 1) - T),
              static_cast<int>(std::lround(a1 * 16)), static_cast<int>(std::lround(span * 16)));
}

void ImageCanvas::FloodFill(int x, int y, TColor border) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    // The fill runs over device pixels, so it stops at borders drawn at
    // device resolution.
    x = Dev(x);
    y = Dev(y);
    const int W = image_.width(), H = image_.height();
    const QRgb borderRgb = ToQRgb(border) | 0xFF000000u;
    const QRgb fill = ToQRgb(brushColor_) | 0xFF000000u;
    auto px = [&](int xx, int yy) -> QRgb& {
        return reinterpret_cast<QRgb*>(image_.scanLine(yy))[xx];
    };
    if ((px(x, y) | 0xFF000000u) == borderRgb)
        return;
    // Visited map: the fill colour may equal the colour already there.
    std::vector<unsigned char> seen(static_cast<std::size_t>(W) * H, 0);
    std::vector<Point> stack{{x, y}};
    while (!stack.empty()) {
        Point s = stack.back();
        stack.pop_back();
        int yy = s.y;
        int xl = s.x;
        if (seen[static_cast<std::size_t>(yy) * W + xl] || (px(xl, yy) | 0xFF000000u) == borderRgb)
            continue;
        while (xl > 0 && !seen[static_cast<std::size_t>(yy) * W + xl - 1] &&
               (px(xl - 1, yy) | 0xFF000000u) != borderRgb)
            --xl;
        int xr = xl;
        while (xr < W && !seen[static_cast<std::size_t>(yy) * W + xr] &&
               (px(xr, yy) | 0xFF000000u) != borderRgb) {
            px(xr, yy) = fill;
            seen[static_cast<std::size_t>(yy) * W + xr] = 1;
            ++xr;
        }
        for (int ny : {yy - 1, yy + 1}) {
            if (ny < 0 || ny >= H)
                continue;
            for (int xx = xl; xx < xr; ++xx)
                if (!seen[static_cast<std::size_t>(ny) * W + xx] &&
                    (px(xx, ny) | 0xFF000000u) != borderRgb)
                    stack.push_back({xx, ny});
        }
    }
}

QFont ImageCanvas::MakeFont(double scale) const {
    QFont f(QString::fromStdString(fontName_));
    const int h = fontHeight_;
    if (h < 0) {
        f.setPixelSize(-h);
    } else if (h > 0) {
        // Cell height: scale the em so that ascent + descent come to h.
        f.setPixelSize(h);
        QFontMetrics m(f);
        int cell = m.ascent() + m.descent();
        if (cell > 0)
            f.setPixelSize(std::max(1, static_cast<int>(std::lround(h * double(h) / cell))));
    } else {
        f.setPixelSize(1);
    }
    // Scaled from the logical em, so that letters keep their logical sizes.
    if (scale != 1.0)
        f.setPixelSize(std::max(1, static_cast<int>(std::lround(f.pixelSize() * scale))));
    f.setBold(fontStyle_ & fsBold);
    f.setItalic(fontStyle_ & fsItalic);
    f.setUnderline(fontStyle_ & fsUnderline);
    f.setStrikeOut(fontStyle_ & fsStrikeOut);
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
}

void ImageCanvas::TextOut(int x, int y, std::string_view text) {
    QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    // Placed and measured in the logical font; drawn in the font scaled to
    // device pixels.
    const QFont f = MakeFont(ratio_);
    const QFontMetrics md(f);
    const QFontMetrics m = ratio_ == 1.0 ? md : QFontMetrics(MakeFont());
    const int advance = m.horizontalAdvance(s);
    DevicePainter p(image_);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    const int X = Dev(x), Y = Dev(y);
    if (brushStyle_ == BrushStyle::Solid)
        p.fillRect(QRect(X, Y, std::max(md.horizontalAdvance(s), Dev(x + advance) - X),
                         std::max(md.height(), Dev(y + m.height()) - Y)),
                   QColor::fromRgb(ToQRgb(brushColor_)));
    p.setFont(f);
    p.setPen(QColor::fromRgb(ToQRgb(fontColor_)));
    p.drawText(X, Y + md.ascent(), s);
    penPos_ = {x + advance, y};
}

int ImageCanvas::TextWidth(std::string_view text) {
    QFontMetrics m(MakeFont());
    return m.horizontalAdvance(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

int ImageCanvas::TextHeight(std::string_view) {
    QFontMetrics m(MakeFont());
    return m.height();
}

bool ImageCanvas::DrawState::SameDrawing(const DrawState& o) const {
    return pen == o.pen && brush == o.brush && fontColor == o.fontColor &&
           penWidth == o.penWidth && fontSize == o.fontSize && fontHeight == o.fontHeight &&
           fontStyle == o.fontStyle && brushStyle == o.brushStyle && fontName == o.fontName;
}

ImageCanvas::DrawState ImageCanvas::State() const {
    return {penColor_, brushColor_, fontColor_, penWidth_,  fontSize_, fontHeight_,
            fontStyle_, brushStyle_, fontName_,  penPos_.x, penPos_.y};
}

void ImageCanvas::SetState(const DrawState& s) {
    penColor_ = s.pen;
    brushColor_ = s.brush;
    fontColor_ = s.fontColor;
    penWidth_ = s.penWidth;
    fontSize_ = s.fontSize;
    fontHeight_ = s.fontHeight;
    fontStyle_ = s.fontStyle;
    brushStyle_ = s.brushStyle;
    fontName_ = s.fontName;
    penPos_ = {s.penX, s.penY};
}

void ImageCanvas::KeepLayers(bool keep) {
    keepLayers_ = keep;
    if (!keep)
        layers_.clear();
}

ImageCanvas::Layer ImageCanvas::RecordLayer(std::span<const double> key,
                                            const std::function<void(Canvas&)>& draw) const {
    Layer layer;
    layer.key.assign(key.begin(), key.end());
    layer.width = width_;
    layer.height = height_;
    layer.ratio = ratio_;
    layer.before = State();
    ImageCanvas black(width_, height_, ratio_), white(width_, height_, ratio_);
    black.image_.fill(Qt::black);
    for (ImageCanvas* c : {&black, &white}) {
        c->SetState(layer.before);
        draw(*c);
    }
    layer.after = black.State();
    const auto* b = reinterpret_cast<const QRgb*>(black.image_.constBits());
    const auto* w = reinterpret_cast<const QRgb*>(white.image_.constBits());
    const std::size_t count = static_cast<std::size_t>(black.image_.bytesPerLine() / 4) *
                              static_cast<std::size_t>(black.image_.height());
    for (std::size_t i = 0; i < count; ++i)
        if (b[i] == w[i])
            layer.pixels.emplace_back(static_cast<std::uint32_t>(i), b[i]);
    return layer;
}

void ImageCanvas::DrawLayer(std::span<const double> key,
                            const std::function<void(Canvas&)>& draw) {
    if (!keepLayers_) {
        draw(*this);
        return;
    }
    const DrawState now = State();
    auto same = [&](const Layer& l) {
        return l.width == width_ && l.height == height_ && l.ratio == ratio_ &&
               l.before.SameDrawing(now) && std::equal(l.key.begin(), l.key.end(), key.begin(), key.end());
    };
    auto found = std::find_if(layers_.begin(), layers_.end(), same);
    if (found == layers_.end()) {
        // A picture keeps a few layers; the oldest goes first.
        constexpr std::size_t kKept = 4;
        if (layers_.size() >= kKept)
            layers_.erase(layers_.begin());
        layers_.push_back(RecordLayer(key, draw));
        ++layersRecorded_;
        found = layers_.end() - 1;
    }
    auto* bits = reinterpret_cast<QRgb*>(image_.bits());
    for (const auto& [index, rgb] : found->pixels)
        bits[index] = rgb;
    SetState(found->after);
}

bool ImageCanvas::SavePng(const std::string& fileName) const {
    return image_.save(QString::fromStdString(fileName), "PNG");
}

} // namespace ostrander
