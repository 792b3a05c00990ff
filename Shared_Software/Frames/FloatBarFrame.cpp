#include "Shared_Software/Frames/FloatBarFrame.h"

#include "Shared_Software/Frames/EditFrameRules.h"
#include "toolkit/Format.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>

#include <cmath>
#include <cstdlib>

namespace ostrander {

TFloatBarFrame::TFloatBarFrame(QWidget* parent) : NumericEditFrame(parent) {
    resize(320, 30);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    QFont labelFont("MS Sans Serif");
    labelFont.setPixelSize(16);
    Label = new QLabel("Label", this);
    Label->setFont(labelFont);
    Label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    UnitsLabel = new QLabel("UnitsLabel", this);
    UnitsLabel->setFont(labelFont);
    UnitsLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    EditPanel = new QWidget(this);
    EditPanel->setFixedWidth(52);
    auto* editRow = new QHBoxLayout(EditPanel);
    editRow->setContentsMargins(0, 0, 0, 0);
    Edit = new QLineEdit("0.0", EditPanel);
    QFont editFont("MS Sans Serif");
    editFont.setPixelSize(16);
    Edit->setFont(editFont);
    editRow->addWidget(Edit);
    TrackBar = new QSlider(Qt::Horizontal, this);
    TrackBar->setRange(0, 200);
    TrackBar->setTickInterval(10);
    TrackBar->setTickPosition(QSlider::TicksBelow);
    TrackBar->setValue(0);
    UpDownPanel = new QWidget(this);
    UpDownPanel->setFixedWidth(10);
    auto* upDownRow = new QHBoxLayout(UpDownPanel);
    upDownRow->setContentsMargins(0, 0, 0, 0);
    UpDown = new ostrander::UpDown(UpDownPanel);
    UpDown->SetMin(0);
    UpDown->SetPosition(0);
    upDownRow->addWidget(UpDown);

    row->addWidget(Label);
    row->addWidget(TrackBar, 1);
    row->addWidget(UpDownPanel);
    row->addWidget(EditPanel);
    row->addWidget(UnitsLabel);

    UpDown->SetWrap(true);
    UpdateTrackBarRange();
    SetTrackBarPosition(TruncToInt(Value * Scale));
    WireEvents();
    connect(TrackBar, &QSlider::valueChanged, this, [this] {
        if (movingTrackBar_)
            return;
        TrackBarChange();
        emit trackBarChange();
    });
}

void TFloatBarFrame::ShowValue() {
    Edit->setText(QString::fromStdString(FormatFloat(DisplayFormat, Value)));
}

void TFloatBarFrame::SetTrackBarPosition(int position) {
    movingTrackBar_ = true;
    TrackBar->setValue(position);
    movingTrackBar_ = false;
}

void TFloatBarFrame::UpdateTrackBarRange() {
    movingTrackBar_ = true;
    const int lo = TruncToInt(Minimum * Scale), hi = TruncToInt(Maximum * Scale);
    TrackBar->setRange(lo, hi);
    TrackBar->setTickInterval(int((static_cast<long long>(hi) - lo) / 20));
    movingTrackBar_ = false;
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
    if (auto x = TryStrToFloat(Edit->text().toStdString()))
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
    const double v = TrackBar->value() / Scale;
    if (v != Value)
        SetValue(v);
}

} // namespace ostrander
