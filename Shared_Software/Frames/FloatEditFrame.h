#pragma once
// Float edit frame: label, edit box, up/down buttons and units label for one
// floating-point value with a range, a step, a wrap flag and a display format.
#include "Shared_Software/Frames/FloatValueFrame.h"

#include <string>

namespace ostrander {

class TFloatEditFrame : public FloatValueFrame {
    Q_OBJECT
public:
    explicit TFloatEditFrame(QWidget* parent = nullptr);

    // A step of 0 or less becomes a hundredth of the range.
    void SetStep(double x);
    // Number pattern such as "0.0" or "0.0000"; empty means "0.0".
    void SetFormat(const std::string& text);

    double GetStep() const { return Step; }
    const std::string& GetFormat() const { return DisplayFormat; }
};

} // namespace ostrander
