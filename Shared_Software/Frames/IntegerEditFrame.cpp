#include "Shared_Software/Frames/IntegerEditFrame.h"

#include "Shared_Software/Frames/EditFrameRules.h"
#include "toolkit/Canvas.h"
#include "toolkit/Format.h"

#include <QLabel>
#include <QLineEdit>

#include <cstdlib>

namespace ostrander {

TIntegerEditFrame::TIntegerEditFrame(QWidget* parent) : NumericEditFrame(parent) {
    RowLayout row;
    row.size = {193, 26};
    row.label = "Int = ";
    row.units = "Units";
    row.labelFontPixels = 11;
    row.editText = "0";
    row.editFontPixels = 15;
    BuildRow(row);
    SetLabelFontSize(8);
    SetLabelFontStyle(fsNone);
}

void TIntegerEditFrame::SetLabelFontSize(int size) {
    if (size <= 0)
        return;
    for (QLabel* l : {Label(), UnitsLabel()}) {
        QFont f = l->font();
        f.setPointSize(size);
        l->setFont(f);
    }
}

void TIntegerEditFrame::SetLabelFontStyle(int style) {
    for (QLabel* l : {Label(), UnitsLabel()}) {
        QFont f = l->font();
        f.setBold(style & fsBold);
        f.setItalic(style & fsItalic);
        f.setUnderline(style & fsUnderline);
        f.setStrikeOut(style & fsStrikeOut);
        l->setFont(f);
    }
}

void TIntegerEditFrame::ShowValue() {
    Edit()->setText(QString::number(Value));
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
    if (auto x = TryStrToInt(Edit()->text().toStdString()))
        SetValue(*x);
}

void TIntegerEditFrame::UpDownClick(UDBtnType button) {
    SetValue(SaturatingAdd(Value, UpDownRaises(button) ? Step : -Step));
    ShowValue();
}

} // namespace ostrander
