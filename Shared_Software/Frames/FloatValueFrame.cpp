#include "Shared_Software/Frames/FloatValueFrame.h"

#include "Shared_Software/Frames/EditFrameRules.h"
#include "toolkit/Format.h"

#include <QLineEdit>

#include <cmath>

namespace ostrander {

void FloatValueFrame::ShowValue() {
    Edit()->setText(QString::fromStdString(FormatFloat(DisplayFormat, Value)));
}

void FloatValueFrame::SetValue(double x) {
    if (x == Value || std::isnan(x))
        return;
    Value = ClampOrWrap(x, Minimum, Maximum, Wrap);
    ShowValue();
    ValueChanged();
}

void FloatValueFrame::SetMaximum(double x) {
    Maximum = x >= Minimum ? x : Minimum + 100.0 * Step;
    RangeChanged();
}

void FloatValueFrame::SetMinimum(double x) {
    Minimum = x <= Maximum ? x : Maximum - 100.0 * Step;
    RangeChanged();
}

void FloatValueFrame::TakeEntry() {
    if (auto x = TryStrToFloat(Edit()->text().toStdString()))
        SetValue(*x);
}

void FloatValueFrame::UpDownClick(UDBtnType button) {
    SetValue(UpDownRaises(button) ? Value + Step : Value - Step);
    ShowValue();
}

} // namespace ostrander
