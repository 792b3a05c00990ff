#include "Shared_Software/Frames/FloatBarFrame.h"

#include "Shared_Software/Frames/EditFrameRules.h"
#include "toolkit/Format.h"

#include <QLineEdit>
#include <QSlider>

#include <cmath>
#include <cstdlib>

namespace ostrander {

TFloatBarFrame::TFloatBarFrame(QWidget* parent) : NumericEditFrame(parent) {
    trackBar_ = new QSlider(Qt::Horizontal, this);
    trackBar_->setRange(0, 200);
    trackBar_->setTickInterval(10);
    trackBar_->setTickPosition(QSlider::TicksBelow);
    trackBar_->setValue(0);
    RowLayout row;
    row.size = {320, 30};
    row.label = "Label";
    row.units = "UnitsLabel";
    row.labelFontPixels = 16;
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

void TFloatBarFrame::ShowValue() {
    Edit()->setText(QString::fromStdString(FormatFloat(DisplayFormat, Value)));
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

void TFloatBarFrame::SetValue(double x) {
    if (x == Value || std::isnan(x))
        return;
    Value = ClampOrWrap(x, Minimum, Maximum, Wrap);
    ShowValue();
    SetTrackBarPosition(TruncToInt(Value * Scale));
}

void TFloatBarFrame::SetMaximum(double x) {
    Maximum = x >= Minimum ? x : Minimum + 100.0 * Step;
    UpdateTrackBarRange();
}

void TFloatBarFrame::SetMinimum(double x) {
    Minimum = x <= Maximum ? x : Maximum - 100.0 * Step;
    UpdateTrackBarRange();
}

void TFloatBarFrame::TakeEntry() {
    if (auto x = TryStrToFloat(Edit()->text().toStdString()))
        SetValue(*x);
}

void TFloatBarFrame::UpDownClick(UDBtnType button) {
    double d = Step;
    if (UpDownWrapped(LastUpDownPosition))
        d = -d;
    SetValue(button == UDBtnType::btNext ? Value + d : Value - d);
    ShowValue();
}

void TFloatBarFrame::TrackBarChange() {
    const double v = trackBar_->value() / Scale;
    if (v != Value)
        SetValue(v);
}

} // namespace ostrander
