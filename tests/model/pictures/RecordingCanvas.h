#pragma once
// An image canvas that also keeps every text drawn, with the font it was
// drawn in, and counts lines, so tests can check labels and strides.
#include "toolkit/qt/ImageCanvas.h"

#include <string>
#include <vector>

namespace ostrander {

struct DrawnText {
    int x = 0;
    int y = 0;
    std::string text;
    TColor color = 0;
    std::string fontName;
    int fontStyle = 0;
    int fontHeight = 0;
    bool solidBrush = false;
};

struct DrawnShape {
    enum Kind { Rectangle, Ellipse } kind;
    Rect box;
    TColor pen = 0;
};

class RecordingCanvas : public ImageCanvas {
public:
    using ImageCanvas::ImageCanvas;
    using ImageCanvas::Rectangle;

    void Rectangle(int x1, int y1, int x2, int y2) override {
        if (recordShapes)
            shapes.push_back({DrawnShape::Rectangle, {x1, y1, x2, y2}, PenColor()});
        ImageCanvas::Rectangle(x1, y1, x2, y2);
    }
    void Ellipse(int x1, int y1, int x2, int y2) override {
        if (recordShapes)
            shapes.push_back({DrawnShape::Ellipse, {x1, y1, x2, y2}, PenColor()});
        ImageCanvas::Ellipse(x1, y1, x2, y2);
    }
    // Shapes drawn with the given pen colour.
    std::vector<DrawnShape> ShapesIn(TColor pen) const {
        std::vector<DrawnShape> out;
        for (const DrawnShape& s : shapes)
            if (s.pen == pen)
                out.push_back(s);
        return out;
    }

    void TextOut(int x, int y, std::string_view text) override {
        texts.push_back({x, y, std::string(text), FontColor(), FontName(), GetFontStyle(),
                         FontHeight(), GetBrushStyle() == BrushStyle::Solid});
        ImageCanvas::TextOut(x, y, text);
    }
    void LineTo(int x, int y) override {
        ++lines;
        ImageCanvas::LineTo(x, y);
    }

    // The first text that begins with prefix, or null.
    const DrawnText* Find(std::string_view prefix) const {
        for (const DrawnText& t : texts)
            if (t.text.rfind(prefix, 0) == 0)
                return &t;
        return nullptr;
    }

    std::vector<DrawnText> texts;
    int lines = 0;
    // Off by default: the pictures draw ten thousand cells.
    bool recordShapes = false;
    std::vector<DrawnShape> shapes;
};

} // namespace ostrander
