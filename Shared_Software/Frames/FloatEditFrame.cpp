#include "Shared_Software/Frames/FloatEditFrame.h"

namespace ostrander {

TFloatEditFrame::TFloatEditFrame(QWidget* parent) : FloatValueFrame(parent) {
    RowLayout row;
    row.size = {228, 26};
    row.label = "Label =";
    row.units = "Units";
    row.editText = "0.0";
    row.editFontPixels = 13;
    row.upDownMax = 10000;
    BuildRow(row);
}

void TFloatEditFrame::SetStep(double x) {
    Step = x > 0 ? x : (Maximum - Minimum) * 0.01;
}

void TFloatEditFrame::SetFormat(const std::string& text) {
    DisplayFormat = text.empty() ? "0.0" : text;
}

} // namespace ostrander
