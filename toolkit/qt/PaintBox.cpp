#include "toolkit/qt/PaintBox.h"

#include <QMouseEvent>
#include <QPainter>

namespace ostrander {

PaintBox::PaintBox(QWidget* parent) : QWidget(parent), canvas_(1, 1) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PaintBox::paintEvent(QPaintEvent*) {
    if (onPaint)
        onPaint();
    QPainter p(this);
    p.drawImage(0, 0, canvas_.Image());
}

void PaintBox::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (width() != canvas_.Width() || height() != canvas_.Height()) {
        canvas_.Resize(width(), height());
        if (onResize)
            onResize();
    }
}

void PaintBox::mousePressEvent(QMouseEvent* e) {
    QPoint p = e->position().toPoint();
    emit mousePressed(p.x(), p.y(), e->button(), e->modifiers());
}

void PaintBox::mouseReleaseEvent(QMouseEvent* e) {
    QPoint p = e->position().toPoint();
    emit mouseReleased(p.x(), p.y(), e->button(), e->modifiers());
}

void PaintBox::mouseDoubleClickEvent(QMouseEvent* e) {
    QPoint p = e->position().toPoint();
    emit mouseDoubleClicked(p.x(), p.y(), e->button());
}

} // namespace ostrander
