#pragma once
// Float bar frame: a float edit with a track bar beside the edit box. The
// track bar shows value x scale (scale 10: a resolution of 0.1 when moved).
#include "Shared_Software/Frames/FloatValueFrame.h"
#include "toolkit/IntegerConversion.h"

#include <string>

class QSlider;

namespace ostrander {

class TFloatBarFrame : public FloatValueFrame {
    Q_OBJECT
public:
    explicit TFloatBarFrame(QWidget* parent = nullptr);

    // Owned by Qt parenting; for tests that drive it.
    QSlider* TrackBar() const { return trackBar_; }

    // Takes the track bar's position over as the value.
    void TrackBarChange();

private:
    // The track bar follows the value and the range.
    void ValueChanged() override { SetTrackBarPosition(TruncToInt(Value * Scale)); }
    void RangeChanged() override { UpdateTrackBarRange(); }
    void SetTrackBarPosition(int position);
    // Track bar range and tick spacing from the value range.
    void UpdateTrackBarRange();

    QSlider* trackBar_ = nullptr;
    double Scale = 10.0;
    // Set while the frame moves the track bar itself, so that only the
    // user's moves count as a change of value.
    bool movingtrackBar_ = false;
};

} // namespace ostrander
