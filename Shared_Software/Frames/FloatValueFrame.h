#pragma once
// The part the float frames share: one floating-point value with a range, a
// step, a wrap flag and a display format, shown in the edit box and moved by
// the up/down control. The float edit and the float bar build their own rows.
#include "Shared_Software/Frames/NumericEditFrame.h"

#include <string>

namespace ostrander {

class FloatValueFrame : public NumericEditFrame {
public:
    double GetValue() const { return Value; }
    // Outside the range the value wraps to the other end (wrap on) or stops
    // at the near end; setting the current value leaves the edit text alone.
    void SetValue(double x);
    // A maximum below the minimum becomes minimum + 100 steps.
    void SetMaximum(double x);
    // A minimum above the maximum becomes maximum - 100 steps.
    void SetMinimum(double x);
    void SetWrap(bool flag) { Wrap = flag; }

    double GetMinimum() const { return Minimum; }
    double GetMaximum() const { return Maximum; }
    bool GetWrap() const { return Wrap; }

    void UpDownClick(UDBtnType button) override;

protected:
    explicit FloatValueFrame(QWidget* parent) : NumericEditFrame(parent) {}
    void ShowValue();
    // Run after a new value is shown, and after the range changed.
    virtual void ValueChanged() {}
    virtual void RangeChanged() {}

    std::string DisplayFormat = "0.0";
    double Step = 1.0;
    double Maximum = 100.0;
    double Minimum = 0.0;
    double Value = 0.0;
    bool Wrap = true;

private:
    // Parses the edit text and, when it is a number, sets it as the value.
    void TakeEntry() override;
    void EntryTakenOnEnter() override { ShowValue(); }
};

} // namespace ostrander
