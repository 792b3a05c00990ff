#pragma once
// Float bar frame: a float edit with a track bar beside the edit box. The
// track bar shows value x scale (scale 10: a resolution of 0.1 when moved).
#include "Shared_Software/Frames/NumericEditFrame.h"

#include <string>

class QSlider;

namespace ostrander {

class TFloatBarFrame : public NumericEditFrame {
    Q_OBJECT
public:
    explicit TFloatBarFrame(QWidget* parent = nullptr);

    // Owned by Qt parenting; for tests that drive it.
    QSlider* TrackBar() const { return trackBar_; }

    double GetValue() const { return Value; }
    void SetValue(double x);
    void SetMaximum(double x);
    void SetMinimum(double x);
    void SetWrap(bool flag) { Wrap = flag; }

    double GetMinimum() const { return Minimum; }
    double GetMaximum() const { return Maximum; }
    bool GetWrap() const { return Wrap; }

    void UpDownClick(UDBtnType button) override;
    // Takes the track bar's position over as the value.
    void TrackBarChange();

private:
    void ShowValue();
    void TakeEntry() override;
    void EntryTakenOnEnter() override { ShowValue(); }
    void SetTrackBarPosition(int position);
    // Track bar range and tick spacing from the value range.
    void UpdateTrackBarRange();

    QSlider* trackBar_ = nullptr;
    std::string DisplayFormat = "0.0";
    double Step = 1.0;
    double Maximum = 100.0;
    double Minimum = 0.0;
    int LastUpDownPosition = 0;
    double Value = 0.0;
    double Scale = 10.0;
    bool Wrap = true;
    // Set while the frame moves the track bar itself, so that only the
    // user's moves count as a change of value.
    bool movingtrackBar_ = false;
};

} // namespace ostrander
