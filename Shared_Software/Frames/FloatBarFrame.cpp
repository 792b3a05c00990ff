#include "Shared_Software/Frames/FloatBarFrame.h"

#include <QLineEdit>
#include <QSlider>

namespace ostrander {

TFloatBarFrame::TFloatBarFrame(QWidget* parent) : FloatValueFrame(parent) {
    trackBar_ = new QSlider(Qt::Horizontal, this);
    trackBar_->setRange(0, 200);
    trackBar_->setTickInterval(10);
    trackBar_->setTickPosition(QSlider::TicksBelow);
    trackBar_->setValue(0);
    RowLayout row;
    row.size = {320, 30};
    row.label = "Label";
    row.units = "UnitsLabel";
    // The caption in the frame's own size, as its neighbours' are.
    row.labelFontPixels = 11;
    row.editText = "0.0";
    row.editFontPixels = 16;
    row.editWidth = 52;
    row.trackBar = trackBar_;
    BuildRow(row);
    // Tab order as laid out: the edit box, then the track bar.
    setTabOrder(Edit(), trackBar_);

    UpdateTrackBarRange();
    SetTrackBarPosition(TruncToInt(Value * Scale));
    connect(trackBar_, &QSlider::valueChanged, this, [this] {
        if (movingtrackBar_)
            return;
        TrackBarChange();
        emit valueCommitted();
    });
}

void TFloatBarFrame::SetTrackBarPosition(int position) {
    movingtrackBar_ = true;
    trackBar_->setValue(position);
    movingtrackBar_ = false;
}

void TFloatBarFrame::UpdateTrackBarRange() {
    movingtrackBar_ = true;
    const int lo = TruncToInt(Minimum * Scale), hi = TruncToInt(Maximum * Scale);
    trackBar_->setRange(lo, hi);
    trackBar_->setTickInterval(int((static_cast<long long>(hi) - lo) / 20));
    movingtrackBar_ = false;
}

void TFloatBarFrame::TrackBarChange() {
    const double v = trackBar_->value() / Scale;
    if (v != Value)
        SetValue(v);
}

} // namespace ostrander
