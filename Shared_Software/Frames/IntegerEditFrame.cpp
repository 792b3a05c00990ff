#include "Shared_Software/Frames/IntegerEditFrame.h"

#include "Shared_Software/Frames/EditFrameRules.h"
#include "toolkit/Canvas.h"
#include "toolkit/Format.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

#include <cstdlib>

namespace ostrander {

TIntegerEditFrame::TIntegerEditFrame(QWidget* parent) : NumericEditFrame(parent) {
    resize(193, 26);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    QFont labelFont("MS Sans Serif");
    labelFont.setPixelSize(11);
    Label = new QLabel("Int = ", this);
    Label->setFont(labelFont);
    Label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    UnitsLabel = new QLabel("Units", this);
    UnitsLabel->setFont(labelFont);
    UnitsLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    EditPanel = new QWidget(this);
    auto* editRow = new QHBoxLayout(EditPanel);
    editRow->setContentsMargins(0, 0, 0, 0);
    Edit = new QLineEdit("0", EditPanel);
    QFont editFont("MS Sans Serif");
    editFont.setPixelSize(15);
    Edit->setFont(editFont);
    editRow->addWidget(Edit);
    UpDownPanel = new QWidget(this);
    UpDownPanel->setFixedWidth(10);
    auto* upDownRow = new QHBoxLayout(UpDownPanel);
    upDownRow->setContentsMargins(0, 0, 0, 0);
    UpDown = new ostrander::UpDown(UpDownPanel);
    UpDown->SetMin(0);
    UpDown->SetPosition(0);
    upDownRow->addWidget(UpDown);

    row->addWidget(Label);
    row->addWidget(EditPanel, 1);
    row->addWidget(UpDownPanel);
    row->addWidget(UnitsLabel);

    UpDown->SetWrap(true);
    SetLabelFontSize(8);
    SetLabelFontStyle(fsNone);
    WireEvents();
}

void TIntegerEditFrame::SetLabelFontSize(int size) {
    if (size <= 0)
        return;
    for (QLabel* l : {Label, UnitsLabel}) {
        QFont f = l->font();
        f.setPointSize(size);
        l->setFont(f);
    }
}

void TIntegerEditFrame::SetLabelFontStyle(int style) {
    for (QLabel* l : {Label, UnitsLabel}) {
        QFont f = l->font();
        f.setBold(style & fsBold);
        f.setItalic(style & fsItalic);
        f.setUnderline(style & fsUnderline);
        f.setStrikeOut(style & fsStrikeOut);
        l->setFont(f);
    }
}

void TIntegerEditFrame::ShowValue() {
    Edit->setText(QString::number(Value));
}

void TIntegerEditFrame::SetValue(int x) {
    if (x == Value)
        return;
    Value = ClampOrWrap(x, Minimum, Maximum, Wrap);
    ShowValue();
}

void TIntegerEditFrame::SetMaximum(int x) {
    Maximum = x < Minimum ? SaturatingAdd(Minimum, 1) : x;
}

void TIntegerEditFrame::SetMinimum(int x) {
    Minimum = x > Maximum ? SaturatingAdd(Maximum, -1) : x;
}

void TIntegerEditFrame::TakeEntry() {
    if (auto x = TryStrToInt(Edit->text().toStdString()))
        SetValue(*x);
}

void TIntegerEditFrame::UpDownClick(UDBtnType button) {
    int d = Step;
    if (UpDownWrapped(LastUpDownPosition))
        d = -d;
    SetValue(SaturatingAdd(Value, button == UDBtnType::btNext ? d : -d));
    ShowValue();
}

} // namespace ostrander
