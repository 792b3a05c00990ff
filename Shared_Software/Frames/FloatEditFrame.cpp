#include "Shared_Software/Frames/FloatEditFrame.h"

#include "Shared_Software/Frames/EditFrameRules.h"
#include "toolkit/Format.h"

#include <QLineEdit>

#include <cmath>
#include <cstdlib>

namespace ostrander {

TFloatEditFrame::TFloatEditFrame(QWidget* parent) : NumericEditFrame(parent) {
    RowLayout row;
    row.size = {228, 26};
    row.label = "Label =";
    row.units = "Units";
    row.editText = "0.0";
    row.editFontPixels = 13;
    row.upDownMax = 10000;
    BuildRow(row);
}

void TFloatEditFrame::ShowValue() {
    Edit()->setText(QString::fromStdString(FormatFloat(DisplayFormat, Value)));
}

void TFloatEditFrame::SetValue(double x) {
    if (x == Value || std::isnan(x))
        return;
    Value = ClampOrWrap(x, Minimum, Maximum, Wrap);
    ShowValue();
}

void TFloatEditFrame::SetMaximum(double x) {
    Maximum = x >= Minimum ? x : Minimum + 100.0 * Step;
}

void TFloatEditFrame::SetMinimum(double x) {
    Minimum = x <= Maximum ? x : Maximum - 100.0 * Step;
}

void TFloatEditFrame::SetStep(double x) {
    Step = x > 0 ? x : (Maximum - Minimum) * 0.01;
}

void TFloatEditFrame::SetFormat(const std::string& text) {
    DisplayFormat = text.empty() ? "0.0" : text;
}

void TFloatEditFrame::TakeEntry() {
    if (auto x = TryStrToFloat(Edit()->text().toStdString()))
        SetValue(*x);
}

void TFloatEditFrame::UpDownClick(UDBtnType button) {
    double d = Step;
    if (UpDownWrapped(LastUpDownPosition))
        d = -d;
    SetValue(button == UDBtnType::btNext ? Value + d : Value - d);
    ShowValue();
}

} // namespace ostrander
