#include "toolkit/qt/UpDown.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>
#include <cstdint>

namespace ostrander {

namespace {
int To16(int v) {
    return std::clamp(v, int(INT16_MIN), int(INT16_MAX));
}
} // namespace

UpDown::UpDown(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

void UpDown::SetPosition(int position) {
    position_ = std::clamp(To16(position), std::min(min_, max_), std::max(min_, max_));
}

void UpDown::SetMin(int min) {
    min_ = To16(min);
    SetPosition(position_);
}

void UpDown::SetMax(int max) {
    max_ = To16(max);
    SetPosition(position_);
}

void UpDown::SetIncrement(int increment) {
    increment_ = increment;
}

void UpDown::Click(UDBtnType button) {
    const int lo = std::min(min_, max_), hi = std::max(min_, max_);
    const int old = position_;
    long next = button == UDBtnType::btNext ? long(old) + increment_ : long(old) - increment_;
    if (next > hi)
        next = wrap_ ? lo : hi;
    else if (next < lo)
        next = wrap_ ? hi : lo;
    position_ = int(next);
    UDBtnType reported = button;
    if (position_ > old)
        reported = UDBtnType::btNext;
    else if (position_ < old)
        reported = UDBtnType::btPrev;
    update();
    emit clicked(reported);
}

UDBtnType UpDown::ButtonAt(const QPoint& p) const {
    return p.y() < height() / 2 ? UDBtnType::btNext : UDBtnType::btPrev;
}

void UpDown::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    pressed_ = true;
    pressedButton_ = ButtonAt(event->position().toPoint());
    update();
}

void UpDown::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressed_)
        return;
    pressed_ = false;
    update();
    const QPoint p = event->position().toPoint();
    if (rect().contains(p) && ButtonAt(p) == pressedButton_)
        Click(pressedButton_);
}

void UpDown::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int half = height() / 2;
    const QRect halves[2] = {QRect(0, 0, width(), half), QRect(0, half, width(), height() - half)};
    for (int i = 0; i < 2; ++i) {
        const UDBtnType b = i == 0 ? UDBtnType::btNext : UDBtnType::btPrev;
        QStyleOptionButton panel;
        panel.initFrom(this);
        panel.rect = halves[i];
        panel.state |=
            (pressed_ && pressedButton_ == b) ? QStyle::State_Sunken : QStyle::State_Raised;
        style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &panel, &painter, this);
        QStyleOption arrow;
        arrow.initFrom(this);
        arrow.rect = halves[i].adjusted(1, 1, -1, -1);
        style()->drawPrimitive(i == 0 ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown,
                               &arrow, &painter, this);
    }
}

} // namespace ostrander
