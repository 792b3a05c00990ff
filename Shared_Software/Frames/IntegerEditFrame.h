#pragma once
// Integer edit frame: label, edit box, up/down buttons and units label for one
// integer value with a range and a wrap flag; the up/down steps by one.
#include "Shared_Software/Frames/NumericEditFrame.h"

namespace ostrander {

class TIntegerEditFrame : public NumericEditFrame {
    Q_OBJECT
public:
    explicit TIntegerEditFrame(QWidget* parent = nullptr);

    int GetValue() const { return Value; }
    void SetValue(int x);
    // A maximum below the minimum becomes minimum + 1.
    void SetMaximum(int x);
    // A minimum above the maximum becomes maximum - 1.
    void SetMinimum(int x);
    int GetMaximum() const { return Maximum; }
    int GetMinimum() const { return Minimum; }
    void SetWrap(bool flag) { Wrap = flag; }
    bool GetWrap() const { return Wrap; }
    // Font size in points and style (FontStyle bits) of both labels.
    void SetLabelFontSize(int size);
    void SetLabelFontStyle(int style);

    void UpDownClick(UDBtnType button) override;

private:
    void ShowValue();
    void TakeEntry() override;

    int Step = 1;
    int Maximum = 100;
    int Minimum = 0;
    int Value = 0;
    bool Wrap = true;
};

} // namespace ostrander
