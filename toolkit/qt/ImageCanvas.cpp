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

ImageCanvas::ImageCanvas(int width, int height) {
    Resize(width, height);
}

void ImageCanvas::Resize(int width, int height) {
    image_ = QImage(std::max(1, width), std::max(1, height), QImage::Format_RGB32);
    image_.fill(Qt::white);
}

void ImageCanvas::FillSpan(int x1, int x2, int y, unsigned int rgb) {
    if (y < 0 || y >= image_.height())
        return;
    x1 = std::max(x1, 0);
    x2 = std::min(x2, image_.width());
    if (x1 >= x2)
        return;
    auto* line = reinterpret_cast<QRgb*>(image_.scanLine(y));
    std::fill(line + x1, line + x2, rgb);
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
    QRgb* bits;
    qsizetype stride;
    int W, H;
};
} // namespace

void ImageCanvas::FillRect(const Rect& r) {
    int l = std::min(r.left, r.right), rr = std::max(r.left, r.right);
    int t = std::min(r.top, r.bottom), b = std::max(r.top, r.bottom);
    if (l >= rr || t >= b)
        return;
    const Spans spans(image_);
    const unsigned int rgb = ToQRgb(brushColor_);
    for (int y = std::max(t, 0); y < std::min(b, spans.H); ++y)
        spans.Fill(l, rr, y, rgb);
}

void ImageCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    int l = std::min(x1, x2), r = std::max(x1, x2);
    int t = std::min(y1, y2), b = std::max(y1, y2);
    if (r - l < 1 || b - t < 1)
        return;
    if (brushStyle_ == BrushStyle::Solid)
        FillRect({l + 1, t + 1, r - 1, b - 1});
    const Spans spans(image_);
    const unsigned int pen = ToQRgb(penColor_);
    const int w = penWidth_;
    for (int k = 0; k < w; ++k) {
        spans.Fill(l, r, t + k, pen);
        spans.Fill(l, r, b - 1 - k, pen);
    }
    for (int y = std::max(t, 0); y < std::min(b, spans.H); ++y) {
        spans.Fill(l, l + w, y, pen);
        spans.Fill(r - w, r, y, pen);
    }
}

void ImageCanvas::SetPixel(int x, int y, TColor c) {
    if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height())
        return;
    reinterpret_cast<QRgb*>(image_.scanLine(y))[x] = ToQRgb(c);
}

void ImageCanvas::SetPixels(int x, int y, const TColor* colors, int count) {
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
    if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height())
        return -1;
    return FromQRgb(reinterpret_cast<const QRgb*>(image_.constScanLine(y))[x]);
}

void ImageCanvas::LineTo(int x, int y) {
    // Bresenham from the pen position, end pixel excluded.
    int x0 = penPos_.x, y0 = penPos_.y;
    unsigned int pen = ToQRgb(penColor_);
    int dx = std::abs(x - x0), sx = x0 < x ? 1 : -1;
    int dy = -std::abs(y - y0), sy = y0 < y ? 1 : -1;
    int err = dx + dy;
    const int W = image_.width(), H = image_.height();
    // Wider pens stamp a square of the pen width centred on each pixel.
    const int before = (penWidth_ - 1) / 2, after = penWidth_ / 2;
    while (!(x0 == x && y0 == y)) {
        if (penWidth_ == 1) {
            if (x0 >= 0 && y0 >= 0 && x0 < W && y0 < H)
                reinterpret_cast<QRgb*>(image_.scanLine(y0))[x0] = pen;
        } else {
            for (int yy = y0 - before; yy <= y0 + after; ++yy)
                FillSpan(x0 - before, x0 + after + 1, yy, pen);
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
    penPos_ = {x, y};
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
} // namespace

void ImageCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    int l = std::min(x1, x2), r = std::max(x1, x2);
    int t = std::min(y1, y2), b = std::max(y1, y2);
    if (r - l < 1 || b - t < 1)
        return;
    QPainter p(&image_);
    SetupPainter(p, penColor_, penWidth_, brushColor_, brushStyle_);
    // A 1-pixel pen outlines x..x+w inclusive, so the box loses one pixel each way.
    p.drawEllipse(QRect(l, t, r - l - 1, b - t - 1));
}

void ImageCanvas::Polygon(const Point* points, int count) {
    if (!points || count < 2)
        return;
    QPolygon poly;
    poly.reserve(count);
    for (int i = 0; i < count; ++i)
        poly << QPoint(points[i].x, points[i].y);
    QPainter p(&image_);
    SetupPainter(p, penColor_, penWidth_, brushColor_, brushStyle_);
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
    QPainter p(&image_);
    SetupPainter(p, penColor_, penWidth_, brushColor_, BrushStyle::Clear);
    p.drawArc(QRect(l, t, r - l - 1, b - t - 1), static_cast<int>(std::lround(a1 * 16)),
              static_cast<int>(std::lround(span * 16)));
}

void ImageCanvas::FloodFill(int x, int y, TColor border) {
    const int W = image_.width(), H = image_.height();
    if (x < 0 || y < 0 || x >= W || y >= H)
        return;
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

QFont ImageCanvas::MakeFont() const {
    QFont f(QString::fromStdString(fontName_));
    int h = fontHeight_;
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
    f.setBold(fontStyle_ & fsBold);
    f.setItalic(fontStyle_ & fsItalic);
    f.setUnderline(fontStyle_ & fsUnderline);
    f.setStrikeOut(fontStyle_ & fsStrikeOut);
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
}

void ImageCanvas::TextOut(int x, int y, std::string_view text) {
    QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    QFont f = MakeFont();
    QFontMetrics m(f);
    QPainter p(&image_);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    if (brushStyle_ == BrushStyle::Solid)
        p.fillRect(QRect(x, y, m.horizontalAdvance(s), m.height()),
                   QColor::fromRgb(ToQRgb(brushColor_)));
    p.setFont(f);
    p.setPen(QColor::fromRgb(ToQRgb(fontColor_)));
    p.drawText(x, y + m.ascent(), s);
    penPos_ = {x + m.horizontalAdvance(s), y};
}

int ImageCanvas::TextWidth(std::string_view text) {
    QFontMetrics m(MakeFont());
    return m.horizontalAdvance(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

int ImageCanvas::TextHeight(std::string_view) {
    QFontMetrics m(MakeFont());
    return m.height();
}

bool ImageCanvas::SavePng(const std::string& fileName) const {
    return image_.save(QString::fromStdString(fileName), "PNG");
}

} // namespace ostrander
