#pragma once
// Float edit frame: label, edit box, up/down buttons and units label for one
// floating-point value with a range, a step, a wrap flag and a display format.
#include "Shared_Software/Frames/NumericEditFrame.h"

#include <string>

namespace ostrander {

class TFloatEditFrame : public NumericEditFrame {
    Q_OBJECT
public:
    explicit TFloatEditFrame(QWidget* parent = nullptr);

    double GetValue() const { return Value; }
    // Outside the range the value wraps to the other end (wrap on) or stops
    // at the near end; setting the current value leaves the edit text alone.
    void SetValue(double x);
    // A maximum below the minimum becomes minimum + 100 steps.
    void SetMaximum(double x);
    // A minimum above the maximum becomes maximum - 100 steps.
    void SetMinimum(double x);
    // A step of 0 or less becomes a hundredth of the range.
    void SetStep(double x);
    // Number pattern such as "0.0" or "0.0000"; empty means "0.0".
    void SetFormat(const std::string& text);
    void SetWrap(bool flag) { Wrap = flag; }

    double GetMinimum() const { return Minimum; }
    double GetMaximum() const { return Maximum; }
    double GetStep() const { return Step; }
    const std::string& GetFormat() const { return DisplayFormat; }
    bool GetWrap() const { return Wrap; }

    void UpDownClick(UDBtnType button) override;

private:
    void ShowValue();
    // Parses the edit text and, when it is a number, sets it as the value.
    void TakeEntry() override;
    void EntryTakenOnEnter() override { ShowValue(); }

    std::string DisplayFormat = "0.0";
    double Step = 1.0;
    double Maximum = 100.0;
    double Minimum = 0.0;
    int LastUpDownPosition = 0;
    double Value = 0.0;
    bool Wrap = true;
};

} // namespace ostrander
