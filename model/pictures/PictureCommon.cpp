#include "model/pictures/PictureCommon.h"

#include "toolkit/Format.h"

#include <algorithm>
#include <cmath>

namespace ostrander {

GridRange ScanGrid(const double* const* rows, int n) {
    GridRange r;
    if (!rows || n <= 0)
        return r;
    double lo = rows[0][0], hi = rows[0][0];
    bool finite = true;
    for (int i = 0; i < n; ++i) {
        const double* row = rows[i];
        for (int j = 0; j < n; ++j) {
            double v = row[j];
            finite = finite && std::isfinite(v);
            if (v < lo)
                lo = v;
            if (v > hi)
                hi = v;
        }
    }
    if (!finite)
        return r;
    r.finite = true;
    r.min = lo;
    r.max = hi;
    return r;
}

std::string PeakToValleyText(double peakToValley_m, double separation_m,
                             std::optional<bool> snapDown) {
    std::string text = "PV(um):" + FormatFloat("0.000E-00", peakToValley_m * 1000000.0);
    if (snapDown.value_or(peakToValley_m > separation_m / 3.0))
        text += kSnapDownMark;
    return text;
}

void DrawPeakToValleyLabel(Canvas& canvas, const std::string& text) {
    constexpr int x = 1, y = 1;
    if (!text.ends_with(kSnapDownMark)) {
        canvas.TextOut(x, y, text);
        return;
    }
    const TColor brush = canvas.BrushColor();
    canvas.SetBrushColor(clWhite);
    canvas.FillRect({x - 1, y, x + canvas.TextWidth(text) + 1, y + canvas.TextHeight(text)});
    canvas.SetBrushColor(brush);
    canvas.TextOut(x, y, text);
}

void DrawNothingToDisplay(Canvas& canvas) {
    canvas.SetPenColor(clBlack);
    canvas.SetBrushColor(clWhite);
    canvas.SetBrushStyle(BrushStyle::Solid);
    canvas.Rectangle(0, 0, canvas.Width(), canvas.Height());
    canvas.SetFontColor(clRed);
    canvas.SetFontSize(12);
    canvas.TextOut(1, 1, kNothingToDisplay);
}

void DrawFlatSurfaceNote(Canvas& canvas) {
    canvas.SetPenColor(clBlack);
    canvas.SetBrushColor(clWhite);
    canvas.SetBrushStyle(BrushStyle::Solid);
    canvas.Rectangle(0, 0, canvas.Width(), canvas.Height());
    canvas.SetFontColor(0x404040);
    canvas.SetFontSize(9);
    const int line = canvas.TextHeight(kFlatSurfaceNote);
    const int top = std::max(1, canvas.Height() / 2 - line);
    for (const char* text : {kFlatSurfaceNote, kFlatSurfaceNote2}) {
        const int x = std::max(1, (canvas.Width() - canvas.TextWidth(text)) / 2);
        canvas.TextOut(x, text == kFlatSurfaceNote ? top : top + line, text);
    }
}

void DrawMakersMark(Canvas& canvas) {
    canvas.SetPenColor(clWhite);
    canvas.SetBrushColor(clWhite);
    canvas.SetBrushStyle(BrushStyle::Solid);
    // The mark's font is given back afterwards, so that the next pass's
    // texts (the far field's caption) are drawn in the font of the first.
    const int previousHeight = canvas.FontHeight();
    canvas.SetFontHeight(canvas.Height() / 20);
    canvas.SetFontColor(kMakersMarkColor);
    canvas.SetFontStyle(fsItalic);
    const std::string previousName = canvas.FontName();
    canvas.SetFontName("Impact");
    // The same on every pass: a layer of the height alone.
    const double key[] = {-1.0, static_cast<double>(canvas.Height())};
    canvas.DrawLayer(key, [](Canvas& c) {
        c.TextOut(1, c.Height() - c.FontHeight() - 1, kMakersMark);
    });
    canvas.SetFontStyle(fsNone);
    canvas.SetFontName(previousName);
    canvas.SetFontHeight(previousHeight);
}

void DrawFrame(Canvas& canvas) {
    canvas.SetPenColor(clBlack);
    canvas.SetBrushStyle(BrushStyle::Clear);
    canvas.Rectangle(0, 0, canvas.Width(), canvas.Height());
    canvas.SetBrushStyle(BrushStyle::Solid);
}

} // namespace ostrander
