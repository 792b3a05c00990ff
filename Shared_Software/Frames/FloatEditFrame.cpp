#include "Shared_Software/Frames/FloatEditFrame.h"

#include "Shared_Software/Frames/EditFrameRules.h"
#include "toolkit/Format.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

#include <cmath>
#include <cstdlib>

namespace ostrander {

TFloatEditFrame::TFloatEditFrame(QWidget* parent) : NumericEditFrame(parent) {
    resize(228, 26);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    Label = new QLabel("Label =", this);
    Label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    EditPanel = new QWidget(this);
    auto* editRow = new QHBoxLayout(EditPanel);
    editRow->setContentsMargins(0, 0, 0, 0);
    Edit = new QLineEdit("0.0", EditPanel);
    QFont editFont("MS Sans Serif");
    editFont.setPixelSize(13);
    Edit->setFont(editFont);
    editRow->addWidget(Edit);
    UpDownPanel = new QWidget(this);
    UpDownPanel->setFixedWidth(10);
    auto* upDownRow = new QHBoxLayout(UpDownPanel);
    upDownRow->setContentsMargins(0, 0, 0, 0);
    UpDown = new ostrander::UpDown(UpDownPanel);
    UpDown->SetMin(0);
    UpDown->SetMax(10000);
    UpDown->SetPosition(0);
    upDownRow->addWidget(UpDown);
    UnitsLabel = new QLabel("Units", this);
    UnitsLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    row->addWidget(Label);
    row->addWidget(EditPanel, 1);
    row->addWidget(UpDownPanel);
    row->addWidget(UnitsLabel);

    UpDown->SetWrap(true);
    WireEvents();
}

void TFloatEditFrame::ShowValue() {
    Edit->setText(QString::fromStdString(FormatFloat(DisplayFormat, Value)));
}

void TFloatEditFrame::SetValue(double x) {
    if (x == Value || std::isnan(x))
        return;
    Value = ClampOrWrap(x, Minimum, Maximum, Wrap);
    ShowValue();
}

void TFloatEditFrame::SetMaximum(double x) {
    Maximum = x >= Minimum ? x : Minimum + 100.0 * Step;
}

void TFloatEditFrame::SetMinimum(double x) {
    Minimum = x <= Maximum ? x : Maximum - 100.0 * Step;
}

void TFloatEditFrame::SetStep(double x) {
    Step = x > 0 ? x : (Maximum - Minimum) * 0.01;
}

void TFloatEditFrame::SetFormat(const std::string& text) {
    DisplayFormat = text.empty() ? "0.0" : text;
}

void TFloatEditFrame::TakeEntry() {
    if (auto x = TryStrToFloat(Edit->text().toStdString()))
        SetValue(*x);
}

void TFloatEditFrame::UpDownClick(UDBtnType button) {
    double d = Step;
    if (UpDownWrapped(LastUpDownPosition))
        d = -d;
    SetValue(button == UDBtnType::btNext ? Value + d : Value - d);
    ShowValue();
}

} // namespace ostrander
